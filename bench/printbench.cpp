// kadrol-bench-print: the list printout of a large generated agency. For each size it times the
// preview's first page, the full layout and the PDF, and follows the memory while the preview
// is browsed page by page.
#include "database.h"
#include "datafolder.h"
#include "error.h"
#include "generator.h"
#include "layout.h"
#include "pdm.h"
#include "preview.h"
#include "rlistres.h"
#include "table.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextStream>
#include <memory>

namespace {

QTextStream out(stdout);

double rssMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

double seconds(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

void runSize(int candidates, const QString& root)
{
    const QString folder = QDir(root).filePath(QStringLiteral("Data%1").arg(candidates));
    if (!QFileInfo::exists(QDir(folder).filePath(kdb::Database::storeFileName()))) {
        kadrol::createDataFolder(folder);
        auto db = kdb::Database::forFolder(folder);
        db->open();
        kadrol::AgencyOptions options;
        options.candidates = candidates;
        options.firms = 50;
        options.requests = 300;
        kadrol::generateAgency(*db, options);
        db->flush();
    }
    kdb::Session::global().addAlias(QStringLiteral("kadrol"), QStringLiteral("PARADOX"), folder);
    auto dm = std::make_unique<TDM>(root);
    DM = dm.get();
    // Both bases at once, so that the list holds every generated candidate.
    DM->Reserv.setFiltered(false);
    const int rows = DM->Reserv.recordCount();

    TQlistres printout;
    printout.prepareForBase(0, &DM->Reserv);

    const double rssStart = rssMb();
    QElapsedTimer first;
    first.start();
    auto window =
        std::make_unique<report::PreviewWindow>(std::vector<report::Report*>{&printout.report()});
    window->show();
    window->grab(); // the first page painted
    const double firstPage = seconds(first);

    QElapsedTimer full;
    full.start();
    int pages = 0;
    {
        report::Layout layout({&printout.report()});
        layout.run();
        pages = layout.document().pageCount();
    }
    const double layoutTime = seconds(full);

    window->finishLayout();
    const double rssLaidOut = rssMb();
    // Browsing: every page of the first 300 and the last 300 painted in turn.
    for (int i = 0; i < std::min(300, pages); ++i) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &key);
        window->grab();
    }
    const double rssBrowsed1 = rssMb();
    window->setPage(pages - 300);
    for (int i = 0; i < 300; ++i) {
        window->setPage(window->currentPage() + 1);
        window->grab();
    }
    const double rssBrowsed2 = rssMb();

    QElapsedTimer pdf;
    pdf.start();
    QString error;
    const QString pdfFile = QDir(root).filePath(QStringLiteral("list%1.pdf").arg(candidates));
    if (!window->document().savePdf(pdfFile, &error))
        throw kdb::Error(kdb::Error::Code::Io, error);
    const double pdfTime = seconds(pdf);
    const double pdfMb = QFileInfo(pdfFile).size() / 1048576.0;
    window.reset();

    out << QStringLiteral("%1 кандидатов, %2 страниц: первая страница в просмотре %3 с; вся "
                          "разметка %4 с; PDF %5 с (%6 МБ)\n")
               .arg(rows)
               .arg(pages)
               .arg(firstPage, 0, 'f', 3)
               .arg(layoutTime, 0, 'f', 2)
               .arg(pdfTime, 0, 'f', 2)
               .arg(pdfMb, 0, 'f', 1);
    out << QStringLiteral("  память: до просмотра %1 МБ; документ размечен +%2 МБ; после 300 "
                          "страниц +%3 МБ; после ещё 300 в конце +%4 МБ\n")
               .arg(rssStart, 0, 'f', 0)
               .arg(rssLaidOut - rssStart, 0, 'f', 1)
               .arg(rssBrowsed1 - rssStart, 0, 'f', 1)
               .arg(rssBrowsed2 - rssStart, 0, 'f', 1);
    out.flush();
    DM = nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> sizes{10000, 100000};
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--candidates") && i + 1 < args.size()) {
            sizes.clear();
            for (const QString& n : args[++i].split(QLatin1Char(',')))
                sizes << n.toInt();
        } else if (args[i] == QLatin1String("--keep") && i + 1 < args.size()) {
            keep = args[++i];
        } else {
            QTextStream(stderr) << "Использование: kadrol-bench-print [--candidates N[,N...]] "
                                   "[--keep ПАПКА]\n";
            return 2;
        }
    }
    QTemporaryDir tmp;
    const QString root = keep.isEmpty() ? tmp.path() : keep;
    QDir().mkpath(root);
    try {
        for (int n : sizes)
            runSize(n, root);
    } catch (const kdb::Error& e) {
        QTextStream(stderr) << e.message() << '\n';
        return 1;
    }
    return 0;
}
