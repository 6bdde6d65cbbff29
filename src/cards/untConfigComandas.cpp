#include "cards/untConfigComandas.h"

TfrmConfigComandas* frmConfigComandas = nullptr;

TfrmConfigComandas::TfrmConfigComandas(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Configurar Comandas"));
    setFixedSize(351, 319);
}
