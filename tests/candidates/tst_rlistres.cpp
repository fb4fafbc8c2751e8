// The list printout TQlistres of the three bases over the data module's datasets: empty bases,
// the golden printouts of the current base and of the blacklist, and the command-line printing
// to PDF with its errors.
#include "datafolder.h"
#include "dataset.h"
#include "guisupport.h"
#include "pdm.h"
#include "preview.h"
#include "rlistres.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

class Fixture {
public:
    Fixture()
    {
        if (!m_dir.isValid())
            qFatal("no temporary folder");
        dataDir = QDir(m_dir.path()).filePath(QString::fromLatin1(kadrol::dataFolderName));
        kadrol::createDataFolder(dataDir);
        kdb::Session::global().addAlias(QStringLiteral("kadrol"), QStringLiteral("PARADOX"),
                                        dataDir);
        dm = std::make_unique<TDM>(m_dir.path());
        DM = dm.get();
    }
    ~Fixture()
    {
        DM = nullptr;
        dm.reset();
    }
    QString path() const { return m_dir.path(); }

    void candidate(int base, const QString& tn2, const QString& f, const QString& i,
                   const QString& o, const QString& note = {})
    {
        dm->setCandidateBase(base);
        kdb::Dataset& r = dm->Reserv;
        r.append();
        r.fieldByName(QStringLiteral("Tn2")).setValue(tn2);
        r.fieldByName(QStringLiteral("NameF")).setValue(f);
        r.fieldByName(QStringLiteral("NameI")).setValue(i);
        if (!o.isEmpty())
            r.fieldByName(QStringLiteral("NameO")).setValue(o);
        r.fieldByName(QStringLiteral("DatBd")).setValue(QDate(1985, 3, 15));
        if (!note.isEmpty())
            r.fieldByName(QStringLiteral("Note")).setValue(note);
        r.post();
    }
    void blacklisted(const QString& f, const QString& i, const QDate& entered)
    {
        kdb::Dataset& b = dm->black;
        b.append();
        b.fieldByName(QStringLiteral("Namef")).setValue(f);
        b.fieldByName(QStringLiteral("Namei")).setValue(i);
        b.fieldByName(QStringLiteral("Datbd")).setValue(QDate(1970, 1, 2));
        b.fieldByName(QStringLiteral("Dzanes")).setValue(entered);
        b.fieldByName(QStringLiteral("Note")).setValue(QStringLiteral("не явился на работу"));
        b.post();
    }
    // The dataset the candidate list shows for a base.
    kdb::Dataset* base(int base)
    {
        if (base == 2)
            return &dm->black;
        dm->Reserv.setFilter(QStringLiteral("arch=%1").arg(base));
        dm->Reserv.setFiltered(true);
        return &dm->Reserv;
    }

    QString dataDir;
    std::unique_ptr<TDM> dm;

private:
    QTemporaryDir m_dir;
};

QStringList allTexts(const report::Document& doc)
{
    QStringList out;
    for (int p = 0; p < doc.pageCount(); ++p)
        out += doc.texts(p);
    return out;
}

} // namespace

class TestRlistres : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyBase_data();
    void emptyBase();
    void currentBase();
    void blacklist();
    void archiveHoldsOnlyArchive();
    void longListPages();
    void printFromList();
    void commandLine_data();
    void commandLine();
};

void TestRlistres::emptyBase_data()
{
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("caption");
    QTest::addRow("current") << 0 << QStringLiteral("Список дейстующих кандидатов")
                             << QStringLiteral("Рег №");
    QTest::addRow("archive") << 1 << QStringLiteral("Список архивных кандидатов")
                             << QStringLiteral("Рег №");
    QTest::addRow("blacklist") << 2 << QStringLiteral("Черный список")
                               << QStringLiteral("Дата рег.");
}

void TestRlistres::emptyBase()
{
    QFETCH(int, base);
    QFETCH(QString, title);
    QFETCH(QString, caption);
    Fixture fx;
    TQlistres printout;
    printout.prepareForBase(base, fx.base(base));
    report::Document doc;
    KVERIFY(doc = printout.build());
    QCOMPARE(doc.pageCount(), 1);
    QCOMPARE(doc.texts(0),
             (QStringList{QStringLiteral("1"), title, caption, QStringLiteral("Ф.И.О."),
                          QStringLiteral("Дата рождения"), QStringLiteral("Примечание"),
                          QStringLiteral("Итого:"), QStringLiteral("0")}));
}

void TestRlistres::currentBase()
{
    Fixture fx;
    fx.candidate(0, QStringLiteral("12"), QStringLiteral("Яковлева"), QStringLiteral("Мария"),
                 QStringLiteral("Ильинична"));
    fx.candidate(0, QStringLiteral("7"), QStringLiteral("Абрамов"), QStringLiteral("Олег"), {},
                 QStringLiteral("инициативен, умеет работать в команде, готов к командировкам "
                                "и переезду в другой город"));
    fx.candidate(1, QStringLiteral("3"), QStringLiteral("Архивный"), QStringLiteral("Ян"), {});
    TQlistres printout;
    printout.prepareForBase(0, fx.base(0));
    report::Document doc;
    KVERIFY(doc = printout.build());
    KCOMPARE_GOLDEN(QStringLiteral("golden/list-current.txt"), doc.dump());
}

void TestRlistres::blacklist()
{
    Fixture fx;
    fx.candidate(0, QStringLiteral("5"), QStringLiteral("Кандидатов"), QStringLiteral("Иван"), {});
    fx.blacklisted(QStringLiteral("Жулин"), QStringLiteral("Петр"), QDate(2024, 2, 29));
    fx.blacklisted(QStringLiteral("Обманов"), QStringLiteral("Семен"), QDate(2025, 11, 3));
    TQlistres printout;
    printout.prepareForBase(2, fx.base(2));
    report::Document doc;
    KVERIFY(doc = printout.build());
    const QStringList texts = allTexts(doc);
    QVERIFY(texts.contains(QStringLiteral("29.02.2024"))); // the date of entry comes first
    QVERIFY(texts.contains(QStringLiteral("Жулин Петр")));
    QVERIFY(!texts.contains(QStringLiteral("Кандидатов Иван"))); // no candidate of the bases
    KCOMPARE_GOLDEN(QStringLiteral("golden/list-blacklist.txt"), doc.dump());
}

void TestRlistres::archiveHoldsOnlyArchive()
{
    Fixture fx;
    fx.candidate(0, QStringLiteral("1"), QStringLiteral("Текущий"), QStringLiteral("Ян"), {});
    fx.candidate(1, QStringLiteral("2"), QStringLiteral("Архивов"), QStringLiteral("Ян"), {});
    fx.candidate(1, QStringLiteral("3"), QStringLiteral("Былов"), QStringLiteral("Ян"), {});
    TQlistres printout;
    printout.prepareForBase(1, fx.base(1));
    report::Document doc;
    KVERIFY(doc = printout.build());
    const QStringList texts = allTexts(doc);
    QVERIFY(texts.contains(QStringLiteral("Архивов Ян")));
    QVERIFY(texts.contains(QStringLiteral("Былов Ян")));
    QVERIFY(!texts.contains(QStringLiteral("Текущий Ян")));
    QCOMPARE(texts.last(), QStringLiteral("2"));
}

void TestRlistres::longListPages()
{
    Fixture fx;
    const QString longNote = QStringLiteral("опыт работы в рознице и на складе, водительские права "
                                            "категории B, готов к сменному графику");
    for (int i = 0; i < 120; ++i)
        fx.candidate(0, QString::number(i + 1),
                     QStringLiteral("Фамилия%1").arg(i, 3, 10, QLatin1Char('0')),
                     QStringLiteral("Имя"), QStringLiteral("Отчество"),
                     i % 3 == 0 ? longNote : QStringLiteral("коротко"));
    TQlistres printout;
    printout.prepareForBase(0, fx.base(0));
    report::Document doc;
    KVERIFY(doc = printout.build());
    QVERIFY(doc.pageCount() >= 3);
    for (int p = 0; p < doc.pageCount(); ++p) {
        const QStringList texts = doc.texts(p);
        QCOMPARE(texts.at(0), QString::number(p + 1));
        // The column heads repeat under the page number; the title only on the first page.
        QCOMPARE(texts.contains(QStringLiteral("Список дейстующих кандидатов")), p == 0);
        QVERIFY(texts.contains(QStringLiteral("Примечание")));
        // Nothing overlaps: no two texts share a piece of the page.
        const auto& elements = doc.page(p).elements;
        for (size_t a = 0; a < elements.size(); ++a) {
            for (size_t b = a + 1; b < elements.size(); ++b) {
                const QRectF ra = elements[a].rect.adjusted(0.01, 0.01, -0.01, -0.01);
                const QRectF rb = elements[b].rect.adjusted(0.01, 0.01, -0.01, -0.01);
                if (elements[a].kind != report::Element::Kind::Text ||
                    elements[b].kind != report::Element::Kind::Text)
                    continue;
                QVERIFY2(!ra.intersects(rb),
                         qPrintable(QStringLiteral("page %1: %2 / %3")
                                        .arg(p + 1)
                                        .arg(elements[a].text, elements[b].text)));
            }
        }
    }
    const QStringList last = doc.texts(doc.pageCount() - 1);
    QCOMPARE(last.mid(last.size() - 2),
             (QStringList{QStringLiteral("Итого:"), QStringLiteral("120")}));
}

void TestRlistres::printFromList()
{
    Fixture fx;
    fx.blacklisted(QStringLiteral("Жулин"), QStringLiteral("Петр"), QDate(2024, 2, 29));
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<report::PreviewWindow*>(
            kadroltest::windowByTitle(report::PreviewWindow::title()));
        if (!w)
            return;
        w->finishLayout();
        shown = w->document().texts(0);
        kadroltest::buttonByCaption(w, QStringLiteral("Закрыть"))->click();
    });
    printCandidateList(2, nullptr); // returns when the preview closes
    QVERIFY(shown.contains(QStringLiteral("Черный список")));
    QVERIFY(shown.contains(QStringLiteral("Жулин Петр")));
    QVERIFY(kadroltest::windowByTitle(report::PreviewWindow::title()) == nullptr);
}

void TestRlistres::commandLine_data()
{
    QTest::addColumn<QStringList>("what");
    QTest::addColumn<QString>("pdf"); // relative to the temporary folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected"); // in the PDF's text, or in the error output
    QTest::addRow("current list") << QStringList{QStringLiteral("list"), QStringLiteral("current")}
                                  << QStringLiteral("current.pdf") << 0
                                  << QStringLiteral("Васильева Ольга Игоревна");
    QTest::addRow("blacklist") << QStringList{QStringLiteral("list"), QStringLiteral("blacklist")}
                               << QStringLiteral("black.pdf") << 0
                               << QStringLiteral("Черный список");
    QTest::addRow("unknown base") << QStringList{QStringLiteral("list"), QStringLiteral("nobase")}
                                  << QStringLiteral("x.pdf") << 1
                                  << QStringLiteral("Использование");
    QTest::addRow("folder cannot be written")
        << QStringList{QStringLiteral("list"), QStringLiteral("current")}
        << QStringLiteral("blocker/list.pdf") << 1 << QStringLiteral("Не удалось записать файл");
}

void TestRlistres::commandLine()
{
    QFETCH(QStringList, what);
    QFETCH(QString, pdf);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    QString dataDir;
    QTemporaryDir tmp;
    {
        Fixture fx;
        fx.candidate(0, QStringLiteral("44"), QStringLiteral("Васильева"), QStringLiteral("Ольга"),
                     QStringLiteral("Игоревна"));
        dataDir = QDir(tmp.path()).filePath(QStringLiteral("Data"));
        fx.dm.reset();
        DM = nullptr;
        // The folder outlives the fixture: copy it beside the temporary one.
        QDir().mkpath(dataDir);
        for (const QString& f : QDir(fx.dataDir).entryList(QDir::Files))
            QVERIFY(QFile::copy(QDir(fx.dataDir).filePath(f), QDir(dataDir).filePath(f)));
    }
    QFile blocker(QDir(tmp.path()).filePath(QStringLiteral("blocker"))); // a file, not a folder
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString target = QDir(tmp.path()).filePath(pdf);
    QProcess p;
    p.start(QDir(qEnvironmentVariable("KADROL_BIN")).filePath(QStringLiteral("kadrol-admin")),
            QStringList{QStringLiteral("print"), dataDir} + what +
                QStringList{QStringLiteral("--pdf"), target});
    QVERIFY(p.waitForFinished(60000));
    const QString errors = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == exitCode, qPrintable(errors));
    if (exitCode != 0) {
        QVERIFY2(errors.contains(expected), qPrintable(errors));
        QVERIFY(!QFile::exists(target));
        return;
    }
    QProcess text;
    text.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
               {target, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(printed.contains(expected), qPrintable(printed));
}

QTEST_MAIN(TestRlistres)
#include "tst_rlistres.moc"
