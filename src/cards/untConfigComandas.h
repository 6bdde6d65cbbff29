#pragma once
// The card maintenance dialog.
#include <QDialog>

class TfrmConfigComandas : public QDialog {
    Q_OBJECT
public:
    explicit TfrmConfigComandas(QWidget* parent = nullptr);
};

extern TfrmConfigComandas* frmConfigComandas;
