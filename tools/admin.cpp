// kadrol-admin: the administrator's command-line tool on the program's own engine.
#include "agencystore.h"
#include "database.h"
#include "datafolder.h"
#include "error.h"
#include "generator.h"
#include "print.h"
#include "query.h"
#include "store.h"
#include "table.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>
#include <cstdio>
#include <memory>

namespace {

const char* kUsage =
    "Использование:\n"
    "  kadrol-admin init ПАПКА            создать новую папку данных (Data)\n"
    "  kadrol-admin demo ПАПКА [--candidates N] [--seed S]\n"
    "                                     заполнить папку данных демонстрационным агентством\n"
    "  kadrol-admin sql ПАПКА \"ЗАПРОС\" [--translated] [--param ИМЯ=ЗНАЧЕНИЕ ...]\n"
    "                                     выполнить запрос Local SQL, строки через табуляцию;\n"
    "                                     значение параметра: целое число, дата ДД.ММ.ГГГГ\n"
    "                                     или текст как есть (--param \"f=Д'Артаньян\")\n"
    "  kadrol-admin check ПАПКА           проверить целостность базы данных\n"
    "  kadrol-admin copy ОТКУДА КУДА      скопировать агентство целиком (папка данных <-> сервер)\n"
    "                                     с ключами, затем сравнить обе стороны\n"
    "Вместо ПАПКИ можно указать сервер PostgreSQL строкой подключения libpq:\n"
    "  \"host=сервер dbname=kadrol user=kadrol\", \"postgresql://сервер/kadrol\" или "
    "\"service=kadrol\".\n"
    "  kadrol-admin prepare ПАПКА_ПРОГРАММЫ\n"
    "                                     подготовить папку программы: Data, Foto, CV, template\n";

QString usageText()
{
    return QString::fromUtf8(kUsage) + QString::fromUtf8(kPrintUsage);
}

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

QString cell(const QString& text)
{
    QString t = text;
    t.replace(QLatin1Char('\t'), QLatin1Char(' '));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    t.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return t;
}

int runSql(const QStringList& args)
{
    if (args.size() < 2)
        throw kdb::Error(kdb::Error::Code::General, usageText());
    auto db = kdb::Database::forFolder(args[0]);
    db->open();
    kdb::Query q;
    q.setDatabase(db.get());
    q.setSql(args[1].split(QLatin1Char('\n')));
    bool translated = false;
    for (int i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--translated")) {
            translated = true;
        } else if (args[i] == QLatin1String("--param") && i + 1 < args.size()) {
            const QString p = args[++i];
            const int eq = p.indexOf(QLatin1Char('='));
            if (eq <= 0)
                throw kdb::Error(
                    kdb::Error::Code::Syntax,
                    QStringLiteral("Параметр задаётся как ИМЯ=ЗНАЧЕНИЕ: «%1».").arg(p));
            q.setParam(p.left(eq), kdb::Query::paramFromText(p.mid(eq + 1)));
        } else {
            throw kdb::Error(kdb::Error::Code::General,
                             QStringLiteral("Неизвестный ключ «%1».\n").arg(args[i]) + usageText());
        }
    }
    const QString storeSql = q.translatedSql();
    if (translated)
        out() << storeSql << '\n';
    if (!storeSql.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive)) {
        const int changed = q.execSql();
        err() << QStringLiteral("Изменено строк: %1").arg(changed) << '\n';
        return 0;
    }
    q.open();
    out() << q.fieldNames().join(QLatin1Char('\t')) << '\n';
    for (q.first(); !q.eof(); q.next()) {
        QStringList row;
        for (int i = 0; i < q.fieldCount(); ++i)
            row << cell(q.field(i).asString());
        out() << row.join(QLatin1Char('\t')) << '\n';
    }
    return 0;
}

// The tables a Data folder must hold: those its schema creates.
QStringList schemaTableNames()
{
    QStringList names;
    static const QRegularExpression create(QStringLiteral("CREATE TABLE\\s+\"?(\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    auto it = create.globalMatch(kadrol::schemaScript());
    while (it.hasNext())
        names << it.next().captured(1);
    return names;
}

// "папки данных «…»" or "базы данных на сервере «…»", for the check's messages.
QString placeName(const kdb::Database& db)
{
    if (kdb::isServerLocation(db.folder()))
        return QStringLiteral("базы данных на сервере «%1»").arg(kdb::displayedServer(db.folder()));
    return QStringLiteral("папки данных «%1»").arg(QDir::toNativeSeparators(db.folder()));
}

int runCheck(const QString& folder)
{
    auto db = kdb::Database::forFolder(folder);
    db->open();
    const QStringList problems = db->integrityCheck();
    const QStringList tables = db->tableNames();
    QStringList missing;
    for (const QString& t : schemaTableNames())
        if (!tables.contains(t, Qt::CaseInsensitive))
            missing << t;
    // A folder whose build was cut off has every table but none of the shipped rows.
    kadrol::ShippedRowsCheck shipped;
    if (missing.isEmpty())
        shipped = kadrol::checkShippedRows(*db);
    for (const QString& p : problems)
        err() << p << '\n';
    if (!missing.isEmpty())
        err() << QStringLiteral("Нет таблиц: %1").arg(missing.join(QStringLiteral(", "))) << '\n';
    if (!shipped.emptyTables.isEmpty())
        err() << QStringLiteral("Нет поставляемых строк в таблицах: %1")
                     .arg(shipped.emptyTables.join(QStringLiteral(", ")))
              << '\n';
    // Some rows of a list may have been removed by the users: worth a word, not an error.
    if (!shipped.partialTables.isEmpty())
        err() << QStringLiteral("Не хватает части поставляемых строк: %1")
                     .arg(shipped.partialTables.join(QStringLiteral(", ")))
              << '\n';
    if (!problems.isEmpty() || !missing.isEmpty() || !shipped.emptyTables.isEmpty()) {
        err() << QStringLiteral("Проверка %1: найдены ошибки.").arg(placeName(*db)) << '\n';
        return 1;
    }
    out() << QStringLiteral("Проверка %1: ошибок нет, таблиц: %2.")
                 .arg(placeName(*db))
                 .arg(tables.size())
          << '\n';
    return 0;
}

int runDemo(const QStringList& args)
{
    kadrol::AgencyOptions options;
    for (int i = 1; i < args.size(); ++i) {
        bool ok = false;
        if (args[i] == QLatin1String("--candidates") && i + 1 < args.size())
            options.candidates = args[++i].toInt(&ok);
        else if (args[i] == QLatin1String("--seed") && i + 1 < args.size())
            options.seed = args[++i].toUInt(&ok);
        if (!ok || options.candidates < 0)
            throw kdb::Error(kdb::Error::Code::General, usageText());
    }
    const QString folder = args[0];
    const QString store = QDir(folder).filePath(kdb::Database::storeFileName());
    if (kdb::isServerLocation(folder)) {
        try {
            kdb::Database::forFolder(folder)->open();
        } catch (const kdb::Error& e) {
            if (e.code() != kdb::Error::Code::NotFound)
                throw;
            kadrol::createServerAgency(folder);
        }
    } else if (!QFileInfo::exists(store)) {
        try {
            kadrol::createDataFolder(folder);
        } catch (const kdb::Error&) {
            if (!QFileInfo::exists(store)) // else another run has just made it: fill it or not
                throw;
        }
    }
    auto db = kdb::Database::forFolder(folder);
    db->open();
    // The emptiness check and the filling are one transaction: of two runs at once, the second
    // waits for the first and then finds the folder filled.
    std::unique_ptr<kdb::Database::Transaction> tx;
    QElapsedTimer waiting;
    waiting.start();
    while (!tx) {
        try {
            tx = std::make_unique<kdb::Database::Transaction>(*db);
        } catch (const kdb::Error& e) {
            if (e.code() != kdb::Error::Code::RecordLocked || waiting.elapsed() > 600000)
                throw;
            QThread::msleep(100);
        }
    }
    if (kdb::Table::opened(*db, QStringLiteral("RESERV.DB"))->recordCount() > 0 ||
        kdb::Table::opened(*db, QStringLiteral("LANG.DB"))->recordCount() > 0)
        throw kdb::Error(kdb::Error::Code::General,
                         QStringLiteral("%1 уже заполнена: демонстрационные данные "
                                        "пишутся только в новую папку данных или базу.")
                             .arg(kdb::isServerLocation(folder)
                                      ? QStringLiteral("База данных на сервере «%1»")
                                            .arg(kdb::displayedServer(folder))
                                      : QStringLiteral("Папка данных «%1»")
                                            .arg(QDir::toNativeSeparators(folder))));
    const kadrol::AgencyCounts c = kadrol::generateAgency(*db, options);
    tx->commit();
    tx.reset();
    db->store().optimize(); // a server plans the windows' orders on fresh statistics
    db->flush();
    out() << QStringLiteral("Кандидатов: %1, записей о них: %2, фирм: %3, заявок: %4.")
                 .arg(c.candidates)
                 .arg(c.detailRows)
                 .arg(c.firms)
                 .arg(c.requests)
          << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Printing lays text out with the fonts of the desktop, so it needs the GUI application; it
    // needs no screen, and the tool runs on servers too.
    const bool printing = argc > 1 && qstrcmp(argv[1], "print") == 0;
    if (printing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> application =
        printing ? std::make_unique<QApplication>(argc, argv)
                 : std::make_unique<QCoreApplication>(argc, argv);
    const QStringList args = application->arguments().mid(1);
    const QString command = args.value(0);
    try {
        if (command == QLatin1String("init") && args.size() == 2 &&
            kdb::isServerLocation(args[1])) {
            kadrol::createServerAgency(args[1]);
            out() << QStringLiteral("Созданы таблицы агентства на сервере «%1».")
                         .arg(kdb::displayedServer(args[1]))
                  << '\n';
            return 0;
        }
        if (command == QLatin1String("copy") && args.size() == 3) {
            const qint64 rows = kadrol::copyAgency(args[1], args[2]);
            out() << QStringLiteral("Скопировано строк: %1; обе стороны совпадают.").arg(rows)
                  << '\n';
            return 0;
        }
        if (command == QLatin1String("init") && args.size() == 2) {
            kadrol::createDataFolder(args[1]);
            out() << QStringLiteral("Создана папка данных «%1».")
                         .arg(QDir::toNativeSeparators(args[1]))
                  << '\n';
            return 0;
        }
        if (command == QLatin1String("demo") && args.size() >= 2)
            return runDemo(args.mid(1));
        if (command == QLatin1String("sql") && args.size() >= 3)
            return runSql(args.mid(1));
        if (command == QLatin1String("check") && args.size() == 2)
            return runCheck(args[1]);
        if (command == QLatin1String("print"))
            return runPrint(args.mid(1));
        if (command == QLatin1String("prepare") && args.size() == 2) {
            kadrol::prepareProgramFolder(args[1]);
            return 0;
        }
        err() << usageText();
        return 2;
    } catch (const kdb::Error& e) {
        out().flush();
        err() << e.message() << '\n';
        return 1;
    }
}
