#include "cards/checkdigit.h"

#include "database/untMD.h"
#include "platform/convert.h"

int32_t DigitoVerificador(const QString& ps_comanda, int32_t pi_sub) {
    const qsizetype n = ps_comanda.size() - pi_sub;
    int32_t soma = 0;
    for (qsizetype i = 1; i <= n; ++i) {
        const int32_t d = StrToInt(QString(ps_comanda[i - 1]));
        soma += (i % 2 == 1) ? 3 * d : d;
    }
    const int32_t r = soma % 10;
    return r == 0 ? 0 : 10 - r;
}

bool CodigoComDigitoCorreto(const QString& ps_comanda) {
    return DigitoVerificador(ps_comanda, 1) == StrToInt(ps_comanda.right(1));
}

int32_t TMD::RetornaDigitoVerificadorComanda(const QString& ps_comanda, int32_t pi_sub) {
    return DigitoVerificador(ps_comanda, pi_sub);
}
