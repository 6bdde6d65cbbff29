/* bench-floor: the database floor of a card read and of the card dialog's range insert. It
 * issues exactly what the program issues, on libfbclient alone: the same statement texts, the
 * same transaction starts and commits, a statement handle allocated, prepared, executed, fetched
 * to the end and dropped per statement, on one attachment kept open. Nothing else is done, so
 * what the program costs above these times is its own.
 *
 *   bench-floor run DATABASE PATH FIRST COUNT SEP
 *       PATH short (a card with no open sale), refuse (an open sale to pay), close (an open sale
 *       that adds up to nothing, which the read closes) or insert (one card of a range insert
 *       per step, numbers FIRST on). Reads chips FIRST to FIRST+COUNT-1 one after the other, and
 *       prints each step's time in microseconds, a line each. SEP is the date separator of the
 *       program's regional settings. Then a last line "cpu N": the user and system CPU of the
 *       steps, in microseconds. Exits 1 when a read does not take the path asked for.
 *   bench-floor texts CHIP MENOR MAIOR
 *       prints the statement texts of a read of CHIP with the open days MENOR to MAIOR (already
 *       written as dates), then the range insert's text of card CHIP, a line each.
 */
#include <ibase.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

enum { kText = 1024, kDate = 40, kMaxColumns = 4 };

static isc_db_handle attachment = 0;
static isc_tr_handle principal = 0; /* the reads' transaction */
static isc_tr_handle auxiliar = 0;  /* the writes' transaction */

static void fail(const ISC_STATUS* status, const char* what) {
    char message[512];
    const ISC_STATUS* vector = status;
    fprintf(stderr, "bench-floor: %s failed:", what);
    while (fb_interpret(message, sizeof message, &vector))
        fprintf(stderr, " %s", message);
    fputc('\n', stderr);
    exit(2);
}

static void check(const ISC_STATUS* status, const char* what) {
    if (status[0] == 1 && status[1] != 0) fail(status, what);
}

/* The program's transactions: read committed, record versions, no waiting, read-write. */
static void start(isc_tr_handle* transaction) {
    static char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                         isc_tpb_nowait};
    ISC_STATUS_ARRAY status;
    isc_start_transaction(status, transaction, 1, &attachment, (unsigned short)sizeof tpb, tpb);
    check(status, "start transaction");
}

static void commit(isc_tr_handle* transaction) {
    ISC_STATUS_ARRAY status;
    isc_commit_transaction(status, transaction);
    check(status, "commit");
}

static void rollback(isc_tr_handle* transaction) {
    ISC_STATUS_ARRAY status;
    isc_rollback_transaction(status, transaction);
    check(status, "rollback");
}

/* The first and the last row of a result, as the program's data sets keep every row. */
struct Result {
    int rows;
    long long first[kMaxColumns];
    long long last[kMaxColumns];
};

static long long valueOf(const XSQLVAR* var) {
    if ((var->sqltype & 1) && *var->sqlind < 0) return 0;
    switch (var->sqltype & ~1) {
    case SQL_SHORT:
        return *(short*)var->sqldata;
    case SQL_LONG:
        return *(ISC_LONG*)var->sqldata;
    case SQL_INT64:
        return *(ISC_INT64*)var->sqldata;
    case SQL_TYPE_DATE:
        return *(ISC_DATE*)var->sqldata;
    default:
        return 0;
    }
}

/* One statement as the program runs it: a handle allocated, prepared with room for one column
 * (described again when there are more), executed, fetched to the end when it has columns,
 * and dropped. */
static void run(isc_tr_handle* transaction, const char* text, struct Result* result) {
    ISC_STATUS_ARRAY status;
    isc_stmt_handle statement = 0;
    char area[XSQLDA_LENGTH(kMaxColumns)];
    XSQLDA* out = (XSQLDA*)area;
    char buffers[kMaxColumns][64];
    short nulls[kMaxColumns];
    memset(area, 0, sizeof area);
    out->version = SQLDA_VERSION1;
    out->sqln = 1;
    isc_dsql_allocate_statement(status, &attachment, &statement);
    check(status, "allocate statement");
    isc_dsql_prepare(status, transaction, &statement, (unsigned short)strlen(text), text, 3, out);
    check(status, text);
    const short columns = out->sqld;
    if (columns > kMaxColumns) {
        fprintf(stderr, "bench-floor: too many columns in %s\n", text);
        exit(2);
    }
    if (columns > out->sqln) {
        out->sqln = kMaxColumns;
        isc_dsql_describe(status, &statement, 1, out);
        check(status, "describe");
    }
    isc_dsql_execute(status, transaction, &statement, 1, NULL);
    check(status, text);
    if (result != NULL) memset(result, 0, sizeof *result);
    if (columns > 0 && result != NULL) {
        for (short i = 0; i < columns; ++i) {
            out->sqlvar[i].sqldata = buffers[i];
            out->sqlvar[i].sqlind = &nulls[i];
        }
        ISC_STATUS fetched;
        while ((fetched = isc_dsql_fetch(status, &statement, 1, out)) == 0) {
            for (short i = 0; i < columns; ++i) {
                result->last[i] = valueOf(&out->sqlvar[i]);
                if (result->rows == 0) result->first[i] = result->last[i];
            }
            ++result->rows;
        }
        if (fetched != 100) check(status, "fetch");
    }
    isc_dsql_free_statement(status, &statement, DSQL_drop);
    check(status, "free statement");
}

/* The statement texts, blanks included, as the program builds them. */
static void textIntervalo(char* t) {
    snprintf(t, kText,
             " SELECT   CAI_DATA  FROM    CAIXASITUACAO  WHERE    LOJ_CODIGO = 1 AND    CAI_ABERTO "
             "= 'S' ORDER BY    CAI_DATA");
}

static void textExiste(char* t, const char* chip) {
    snprintf(t, kText,
             " SELECT CAR_CODIGO FROM CADCARTAO C   WHERE C.CAR_CHIP = '%s'     AND C.LOJ_CODIGO = 1 ", chip);
}

static void textContagem(char* t, const char* menor, const char* maior, const char* chip) {
    snprintf(
        t, kText,
        " SELECT COUNT(VC.VCA_CONTROLE) AS QTDE  FROM VENDACARTAO VC  INNER JOIN VENDA V ON     "
        "(V.CAI_DATA = VC.CAI_DATA) AND     (V.VEN_CONTROLE = VC.VEN_CONTROLE) AND     (V.LOJ_CODIGO "
        "= VC.LOJ_CODIGO)  INNER JOIN CADCARTAO C ON     (C.LOJ_CODIGO = VC.LOJ_CODIGO) AND     "
        "(C.CAR_CODIGO = VC.CAR_CODIGO)  WHERE VC.CAI_DATA BETWEEN '%s' AND        '%s'   AND C.CAR_CHIP "
        "= '%s'   AND V.LOJ_CODIGO = 1    AND V.VEN_SITUACAO = 'A' ",
        menor, maior, chip);
}

static void textSubtotal(char* t, const char* menor, const char* maior, const char* chip) {
    snprintf(t, kText,
             " SELECT SUM(VIT.VIT_SUBTOTAL) AS SUBTOTAL  FROM VENDACARTAO VC  INNER JOIN VENDA VEN ON    "
             "(VEN.CAI_DATA = VC.CAI_DATA) AND    (VEN.VEN_CONTROLE = VC.VEN_CONTROLE) AND    "
             "(VEN.LOJ_CODIGO = VC.LOJ_CODIGO)  INNER JOIN VENDAITEM VIT ON    (VIT.CAI_DATA = "
             "VC.CAI_DATA) AND    (VIT.VEN_CONTROLE = VC.VEN_CONTROLE) AND    (VIT.LOJ_CODIGO = "
             "VC.LOJ_CODIGO)  INNER JOIN CADCARTAO C ON    (C.LOJ_CODIGO = VC.LOJ_CODIGO) AND    "
             "(C.CAR_CODIGO = VC.CAR_CODIGO)  WHERE VC.CAI_DATA BETWEEN '%s' AND       '%s'   AND C.CAR_CHIP "
             "= '%s'   AND COALESCE(VIT.VIT_CANCELADO,'N') = 'N'    AND VEN.LOJ_CODIGO = 1    AND "
             "VEN.VEN_SITUACAO = 'A' ",
             menor, maior, chip);
}

static void textVendaAberta(char* t, const char* menor, const char* maior, const char* chip) {
    snprintf(
        t, kText,
        "  SELECT VEN.VEN_CONTROLE,          VEN.CAI_DATA,         VEN.LOJ_CODIGO FROM VENDACARTAO VC  "
        "INNER JOIN VENDA VEN ON    (VEN.CAI_DATA = VC.CAI_DATA) AND    (VEN.VEN_CONTROLE = "
        "VC.VEN_CONTROLE)  AND    (VEN.LOJ_CODIGO = VC.LOJ_CODIGO)  INNER JOIN CADCARTAO C ON    "
        "(C.LOJ_CODIGO = VC.LOJ_CODIGO) AND    (C.CAR_CODIGO = VC.CAR_CODIGO)  WHERE VC.CAI_DATA BETWEEN "
        "'%s' AND       '%s'   AND C.CAR_CHIP = '%s'   AND VC.LOJ_CODIGO = 1    AND VEN.VEN_SITUACAO = "
        "'A' ",
        menor, maior, chip);
}

static void textFechar(char* t, long long loja, const char* data, long long venda) {
    snprintf(t, kText,
             "UPDATE    VENDA SET    VEN_SITUACAO = 'C' WHERE    LOJ_CODIGO   = %lld AND    CAI_DATA     = "
             "'%s' AND    VEN_CONTROLE = %lld",
             loja, data, venda);
}

/* The check digit of a card number: weights 3 and 1 from the left, to the next ten. */
static int digito(const char* numero) {
    int soma = 0;
    for (size_t i = 0; numero[i] != '\0'; ++i)
        soma += (i % 2 == 0 ? 3 : 1) * (numero[i] - '0');
    return soma % 10 == 0 ? 0 : 10 - soma % 10;
}

static void textInserir(char* t, const char* numero) {
    snprintf(t, kText,
             " INSERT INTO CADCARTAO (LOJ_CODIGO, CAR_CODIGO, CAR_SITUACAO, CAR_DTINATIVACAO, "
             "CAR_MOTIVOINATIVACAO, CAR_CHIP)  VALUES (1, %s%d, 'N', NULL, NULL, '%s');",
             numero, digito(numero), numero);
}

static char separator = '/';

static void dateText(char* t, ISC_DATE date) {
    struct tm d;
    isc_decode_sql_date(&date, &d);
    snprintf(t, kDate, "%04d%c%02d%c%02d", d.tm_year + 1900, separator, d.tm_mon + 1, separator, d.tm_mday);
}

enum Path { kShort, kRefuse, kClose };

/* One card read: the open days, the card, its open sales, what they add up to and, when that is
 * nothing, the sale closed on the write transaction; the reads' transaction committed at the end.
 * Returns the path taken. */
static enum Path readCard(const char* chip) {
    char text[kText], menor[kDate], maior[kDate], data[kDate];
    struct Result r;
    enum Path path = kShort;
    if (principal == 0) start(&principal);
    textIntervalo(text);
    run(&principal, text, &r);
    dateText(menor, (ISC_DATE)r.first[0]);
    dateText(maior, (ISC_DATE)(r.rows < 2 ? r.first[0] : r.last[0]));
    textExiste(text, chip);
    run(&principal, text, &r);
    if (r.rows == 0) {
        fprintf(stderr, "bench-floor: chip %s has no card\n", chip);
        exit(1);
    }
    textContagem(text, menor, maior, chip);
    run(&principal, text, &r);
    if (r.first[0] != 0) {
        textSubtotal(text, menor, maior, chip);
        run(&principal, text, &r);
        path = kRefuse;
        if (r.first[0] == 0) {
            textVendaAberta(text, menor, maior, chip);
            run(&principal, text, &r);
            const long long venda = r.first[0], loja = r.first[2];
            dateText(data, (ISC_DATE)r.first[1]);
            /* The sale's update begins the reads' transaction anew and runs on the write one. */
            rollback(&principal);
            start(&principal);
            start(&auxiliar);
            textFechar(text, loja, data, venda);
            run(&auxiliar, text, NULL);
            commit(&auxiliar);
            path = kClose;
        }
    }
    commit(&principal);
    return path;
}

/* One card of a range insert, committed by itself on the write transaction. */
static void insertCard(const char* numero) {
    char text[kText];
    start(&auxiliar);
    textInserir(text, numero);
    run(&auxiliar, text, NULL);
    commit(&auxiliar);
}

static void attach(const char* database) {
    static const char user[] = "SYSDBA", password[] = "kestrelio";
    char dpb[64];
    size_t n = 0;
    dpb[n++] = isc_dpb_version1;
    dpb[n++] = isc_dpb_user_name;
    dpb[n++] = (char)strlen(user);
    memcpy(dpb + n, user, strlen(user));
    n += strlen(user);
    dpb[n++] = isc_dpb_password;
    dpb[n++] = (char)strlen(password);
    memcpy(dpb + n, password, strlen(password));
    n += strlen(password);
    static const char dialect[] = {isc_dpb_sql_dialect, 4, 3, 0, 0, 0};
    memcpy(dpb + n, dialect, sizeof dialect);
    n += sizeof dialect;
    ISC_STATUS_ARRAY status;
    isc_attach_database(status, 0, database, &attachment, (short)n, dpb);
    check(status, "attach");
}

static long long microseconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000LL + t.tv_nsec / 1000;
}

static int printTexts(const char* chip, const char* menor, const char* maior) {
    char text[kText];
    textIntervalo(text);
    puts(text);
    textExiste(text, chip);
    puts(text);
    textContagem(text, menor, maior, chip);
    puts(text);
    textSubtotal(text, menor, maior, chip);
    puts(text);
    textVendaAberta(text, menor, maior, chip);
    puts(text);
    textFechar(text, 1, menor, 57);
    puts(text);
    textInserir(text, chip);
    puts(text);
    return 0;
}

/* The user and system CPU of this process so far. */
static long long cpuMicroseconds(void) {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

int main(int argc, char** argv) {
    if (argc == 5 && strcmp(argv[1], "texts") == 0) return printTexts(argv[2], argv[3], argv[4]);
    if (argc != 7 || strcmp(argv[1], "run") != 0 || strlen(argv[6]) != 1) {
        fprintf(stderr, "usage: bench-floor run DATABASE short|refuse|close|insert FIRST COUNT SEP\n"
                        "       bench-floor texts CHIP MENOR MAIOR\n");
        return 2;
    }
    const char* path = argv[3];
    const long long first = atoll(argv[4]);
    const long long count = atoll(argv[5]);
    separator = argv[6][0];
    const int inserting = strcmp(path, "insert") == 0;
    const enum Path wanted = strcmp(path, "refuse") == 0  ? kRefuse
                             : strcmp(path, "close") == 0 ? kClose
                                                          : kShort;
    if (!inserting && wanted == kShort && strcmp(path, "short") != 0) {
        fprintf(stderr, "bench-floor: unknown path %s\n", path);
        return 2;
    }
    attach(argv[2]);
    const long long cpuBefore = cpuMicroseconds();
    for (long long i = 0; i < count; ++i) {
        char chip[24];
        snprintf(chip, sizeof chip, "%lld", first + i);
        const long long began = microseconds();
        if (inserting) {
            insertCard(chip);
        } else if (readCard(chip) != wanted) {
            fprintf(stderr, "bench-floor: chip %s did not take the %s path\n", chip, path);
            return 1;
        }
        printf("%lld\n", microseconds() - began);
    }
    printf("cpu %lld\n", cpuMicroseconds() - cpuBefore);
    ISC_STATUS_ARRAY status;
    isc_detach_database(status, &attachment);
    check(status, "detach");
    return 0;
}
