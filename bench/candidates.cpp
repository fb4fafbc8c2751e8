// The candidate windows on a large agency: the program started in-process on a generated Data
// folder, and the list's and the card's operations timed as a user runs them.
//
//   kadrol-bench-candidates [--candidates N] [--runs R] [--keep PROGRAM_FOLDER]
//
// A kept program folder is reused (its Data folder is generated once).
#include "datafolder.h"
#include "dbgrid.h"
#include "generator.h"
#include "kadrol.h"
#include "list.h"
#include "pdm.h"
#include "reserv.h"
#include "table.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <vector>

namespace {

QTextStream out(stdout);

double timeMs(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

struct Figure {
    QString name;
    double median = 0;
    double worst = 0;
    double limit = 0;
};

Figure measure(const QString& name, double limit, int runs, const std::function<void(int)>& step,
               const std::function<void()>& prepare = {})
{
    if (prepare)
        prepare();
    step(0); // warm the caches
    std::vector<double> times;
    for (int r = 1; r <= runs; ++r) {
        if (prepare)
            prepare();
        times.push_back(timeMs([&] { step(r); }));
    }
    std::sort(times.begin(), times.end());
    return {name, times[times.size() / 2], times.back(), limit};
}

// Reads what the grid shows of a page of rows, as the view does when it paints them.
void readPage(widgets::DatasetModel* model, int first, int rows)
{
    const int last = std::min(model->rowCount(), first + rows);
    for (int r = first; r < last; ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            model->index(r, c).data();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int candidates = 100000;
    int runs = 15;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--candidates") && i + 1 < args.size())
            candidates = args[++i].toInt();
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--keep") && i + 1 < args.size())
            keep = args[++i];
        else {
            QTextStream(stderr) << "Использование: kadrol-bench-candidates [--candidates N] "
                                   "[--runs R] [--keep ПАПКА_ПРОГРАММЫ]\n";
            return 2;
        }
    }
    QTemporaryDir tmp;
    const QString program = keep.isEmpty() ? tmp.path() : keep;
    const QString data = QDir(program).filePath(QStringLiteral("Data"));
    try {
        if (!QFileInfo::exists(QDir(data).filePath(kdb::Database::storeFileName()))) {
            QElapsedTimer gen;
            gen.start();
            kadrol::createDataFolder(data);
            auto db = kdb::Database::forFolder(data);
            db->open();
            kadrol::AgencyOptions options;
            options.candidates = candidates;
            options.firms = 50;
            options.requests = 300;
            kadrol::generateAgency(*db, options);
            db->flush();
            out << QStringLiteral("Данные подготовлены за %1 с\n").arg(gen.elapsed() / 1000.0);
        }
        kadrol::prepareProgramFolder(program);
    } catch (const kdb::Error& e) {
        QTextStream(stderr) << e.message() << '\n';
        return 1;
    }
    // The alias is the program's own: no alias file.
    qputenv("KADROL_ALIASES",
            QDir(program).filePath(QStringLiteral("no-aliases.ini")).toLocal8Bit());
    QDir::setCurrent(program);
    kadrol::StartOptions options;
    options.programFolder = program;
    if (!kadrol::startUp(options))
        return 1;

    using kadrol::Flist;
    using kadrol::Fres;
    std::vector<Figure> figures;
    kdb::Table& reserv = DM->Reserv;
    widgets::DatasetModel* model = Flist->grid()->gridModel();
    Flist->resize(1000, 700);
    Flist->show();
    QApplication::processEvents();

    // The base switch with the grid's first page and the count, alternating the two bases.
    figures.push_back(measure(QStringLiteral("base switch"), 50, runs, [&](int r) {
        Flist->setBase(r % 2 == 0 ? 0 : 1);
        Flist->RGClick();
        readPage(model, 0, 30);
    }));
    // To the larger base only (from the smaller one, untimed).
    figures.push_back(measure(
        QStringLiteral("  to the current base"), 50, runs,
        [&](int) {
            Flist->setBase(0);
            Flist->RGClick();
            readPage(model, 0, 30);
        },
        [&] {
            Flist->setBase(1);
            Flist->RGClick();
        }));
    Flist->setBase(0);
    Flist->RGClick();
    out << QStringLiteral("Текущая база: %1\n").arg(Flist->countText());

    const QStringList prefixes{QStringLiteral("сол"), QStringLiteral("ЩЕР"), QStringLiteral("ёлк"),
                               QStringLiteral("Мар"), QStringLiteral("яко"), QStringLiteral("п")};
    figures.push_back(measure(QStringLiteral("surname search"), 50, runs, [&](int r) {
        reserv.locate(QStringLiteral("NameF"), {prefixes[r % prefixes.size()]},
                      kdb::Dataset::CaseInsensitive | kdb::Dataset::PartialKey);
        readPage(model, std::max(0, reserv.recNo() - 10), 30);
    }));

    // The card shown on a candidate (its seven detail lists opened) and closed again.
    const int count = reserv.recordCount();
    auto onCandidate = [&](int r) { reserv.setRecNo((count / 7 * (r + 1)) % count); };
    figures.push_back(measure(QStringLiteral("card open"), 100, runs, [&](int r) {
        onCandidate(r);
        Fres->setModeLabel(QStringLiteral("Просмотр"));
        Fres->show();
        QApplication::processEvents();
        Fres->reject();
    }));

    // A save of a change on the card: edit, change, save (post and flush).
    Fres->show();
    QApplication::processEvents();
    figures.push_back(measure(QStringLiteral("card save"), 50, runs, [&](int r) {
        Fres->BeClick();
        reserv.fieldByName(QStringLiteral("Bal")).setValue(r % 10);
        Fres->BpClick();
    }));
    // A new candidate's first save: the duplicate-name check over both bases, the post, the
    // registration number.
    figures.push_back(measure(QStringLiteral("new candidate save"), 50, runs, [&](int r) {
        reserv.append();
        Fres->Butt(true);
        reserv.fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Замерова"));
        reserv.fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Проба"));
        // A name of its own every run: a kept folder holds the earlier runs' candidates.
        reserv.fieldByName(QStringLiteral("NameO"))
            .setValue(QString::number(QDateTime::currentMSecsSinceEpoch()) + QString::number(r));
        reserv.fieldByName(QStringLiteral("Sfr")).setValue(1);
        Fres->BpClick();
    }));
    Fres->reject();

    // The delete of a candidate with its detail rows, in one transaction.
    int details = 0;
    figures.push_back(measure(QStringLiteral("delete with details"), 50, runs, [&](int r) {
        onCandidate(r);
        if (r == 1) {
            const QString k = reserv.fieldByName(QStringLiteral("Keyr")).asString();
            for (const char* t : {"sobesed.db", "RECOM.DB", "RECLANG.DB", "RESNAVK.DB", "SVKAT.DB",
                                  "PROFOPT.DB", "EDUCRES.DB"}) {
                kdb::Table d;
                d.setDatabase(&DM->Dtb);
                d.setTableName(QString::fromLatin1(t));
                d.setFiltered(true);
                d.setFilter((t[0] == 's' ? QStringLiteral("nn=") : QStringLiteral("TabNo=")) + k);
                d.open();
                details += d.recordCount();
            }
        }
        Flist->deleteCandidate(false);
    }));

    figures.push_back(
        measure(QStringLiteral("60-second refresh"), 50, runs, [&](int) { Flist->refresh(); }));

    // Scrolling from the top to the bottom a page at a time: the worst page.
    double worstPage = 0;
    std::vector<double> pages;
    for (int first = 0; first < model->rowCount(); first += 30) {
        const double ms = timeMs([&] { readPage(model, first, 30); });
        pages.push_back(ms);
        worstPage = std::max(worstPage, ms);
    }
    std::sort(pages.begin(), pages.end());
    figures.push_back(
        {QStringLiteral("scroll page (30 rows)"), pages[pages.size() / 2], worstPage, 16});

    out << QStringLiteral("%1 %2 %3 %4\n")
               .arg(QStringLiteral("операция"), -24)
               .arg(QStringLiteral("медиана, мс"), 12)
               .arg(QStringLiteral("худшее, мс"), 12)
               .arg(QStringLiteral("предел, мс"), 11);
    bool within = true;
    for (const Figure& f : figures) {
        out << QStringLiteral("%1 %2 %3 %4\n")
                   .arg(f.name, -24)
                   .arg(f.median, 12, 'f', 2)
                   .arg(f.worst, 12, 'f', 2)
                   .arg(f.limit, 11, 'f', 0);
        within = within && f.median <= f.limit;
    }
    out << QStringLiteral("Удалено строк подробностей у одного кандидата: %1\n").arg(details);
    out.flush();
    kadrol::shutDown();
    return within ? 0 : 3;
}
