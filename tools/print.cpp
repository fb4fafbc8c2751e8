#include "print.h"

#include "database.h"
#include "error.h"
#include "pdm.h"
#include "rlistres.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <memory>

const char* const kPrintUsage =
    "  kadrol-admin print ПАПКА list current|archive|blacklist --pdf ФАЙЛ\n"
    "                                     напечатать список базы в файл PDF\n";

namespace {

[[noreturn]] void usage()
{
    throw kdb::Error(kdb::Error::Code::General,
                     QStringLiteral("Использование:\n%1").arg(QString::fromUtf8(kPrintUsage)));
}

} // namespace

int runPrint(const QStringList& args)
{
    const int pdfAt = static_cast<int>(args.indexOf(QStringLiteral("--pdf")));
    if (args.size() < 3 || pdfAt < 2 || pdfAt + 1 >= args.size())
        usage();
    const QString dataDir = QDir(args[0]).absolutePath();
    const QString pdf = args[pdfAt + 1];
    const QStringList what = args.mid(1, pdfAt - 1);
    if (!QFileInfo(dataDir).isDir())
        throw kdb::Error(
            kdb::Error::Code::NotFound,
            QStringLiteral("Нет папки данных «%1».").arg(QDir::toNativeSeparators(dataDir)));

    // The data module on that folder, as the program would have it: the alias for the run, the
    // program folder above the Data folder.
    kdb::Session::global().addAlias(QStringLiteral("kadrol"), QStringLiteral("PARADOX"), dataDir);
    auto dm = std::make_unique<TDM>(QFileInfo(dataDir).absolutePath());
    DM = dm.get();
    struct Reset {
        ~Reset() { DM = nullptr; }
    } reset;

    report::Document doc;
    if (what.size() == 2 && what[0] == QLatin1String("list")) {
        const QStringList bases{QStringLiteral("current"), QStringLiteral("archive"),
                                QStringLiteral("blacklist")};
        const int base = static_cast<int>(bases.indexOf(what[1]));
        if (base < 0)
            usage();
        kdb::Dataset* ds = &DM->black;
        if (base < 2) {
            // The candidate list's base switch filters Reserv the same way.
            DM->Reserv.setFilter(QStringLiteral("arch=%1").arg(base));
            DM->Reserv.setFiltered(true);
            ds = &DM->Reserv;
        }
        TQlistres printout;
        printout.prepareForBase(base, ds);
        doc = printout.build();
    } else {
        usage();
    }
    QString error;
    if (!doc.savePdf(pdf, &error))
        throw kdb::Error(kdb::Error::Code::Io, error);
    QTextStream(stdout) << QStringLiteral("Записан файл «%1», страниц: %2.")
                               .arg(QDir::toNativeSeparators(pdf))
                               .arg(doc.pageCount())
                        << '\n';
    return 0;
}
