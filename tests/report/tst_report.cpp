// The band report engine over tables of a fresh Data folder: the order of the bands, child and
// sub-detail bands, hooks that suppress bands and set labels, expressions with Count, memos
// and rich texts longer than a page, bands that move whole to the next page, margins, page
// numbers, a golden dump, PDF output read back with pdftotext, and the preview window.
#include "datafolder.h"
#include "dataset.h"
#include "guisupport.h"
#include "layout.h"
#include "preview.h"
#include "report.h"
#include "table.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using report::Band;
using report::Document;
using report::Element;
using report::Report;

namespace {

class DataFolder {
public:
    DataFolder()
    {
        if (!dir.isValid())
            qFatal("no temporary folder");
        const QString data = QDir(dir.path()).filePath(QStringLiteral("Data"));
        kadrol::createDataFolder(data);
        db = kdb::Database::forFolder(data);
        db->open();
    }
    std::unique_ptr<kdb::Table> table(const QString& file, const QString& order = {})
    {
        return kdb::Table::opened(*db, file, order);
    }
    QTemporaryDir dir;
    std::unique_ptr<kdb::Database> db;
};

int addCandidate(kdb::Table& t, const QString& f, const QString& i, const QString& o,
                 const QString& note = {}, const QString& memo = {})
{
    t.append();
    t.fieldByName(QStringLiteral("NameF")).setValue(f);
    t.fieldByName(QStringLiteral("NameI")).setValue(i);
    if (!o.isNull())
        t.fieldByName(QStringLiteral("NameO")).setValue(o);
    t.fieldByName(QStringLiteral("DatBd")).setValue(QDate(1980, 5, 17));
    if (!note.isEmpty())
        t.fieldByName(QStringLiteral("Note")).setValue(note);
    if (!memo.isEmpty())
        t.fieldByName(QStringLiteral("Memint")).setValue(memo);
    t.post();
    return t.fieldByName(QStringLiteral("Keyr")).asInt();
}

QStringList allTexts(const Document& doc)
{
    QStringList out;
    for (int p = 0; p < doc.pageCount(); ++p)
        out += doc.texts(p);
    return out;
}

const Element* findText(const Document& doc, int page, const QString& text)
{
    for (const Element& e : doc.page(page).elements) {
        if (e.text == text)
            return &e;
    }
    return nullptr;
}

// No element reaches into the bottom margin or above the top one.
void verifyInsideMargins(const Document& doc, double top, double bottom)
{
    for (int p = 0; p < doc.pageCount(); ++p) {
        for (const Element& e : doc.page(p).elements) {
            QVERIFY2(e.rect.top() >= top - 0.01 &&
                         e.rect.bottom() <= doc.pageHeight() - bottom + 0.01,
                     qPrintable(QStringLiteral("page %1: %2 at %3..%4")
                                    .arg(p + 1)
                                    .arg(e.text)
                                    .arg(e.rect.top())
                                    .arg(e.rect.bottom())));
        }
    }
}

const QRectF kLine(0, 0, 60, 5);

} // namespace

class TestReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bandOrder_data();
    void bandOrder();
    void subDetails_data();
    void subDetails();
    void hooks();
    void groupHeaders();
    void expressions_data();
    void expressions();
    void displayTexts();
    void memoLongerThanPage();
    void bandsMoveWhole();
    void margins_data();
    void margins();
    void richText_data();
    void richText();
    void composite();
    void golden();
    void pdfReadBack();
    void pdfUnwritable_data();
    void pdfUnwritable();
    void pdfStopped();
    void previewNavigation();
    void previewLaysOutLazily();
    void previewFailures();
};

void TestReport::bandOrder_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QStringList>("expected");
    QTest::addRow("closed dataset")
        << 2 << true
        << QStringList{QStringLiteral("1"), QStringLiteral("Заголовок"), QStringLiteral("Ф.И.О."),
                       QStringLiteral("Итого:"), QStringLiteral("0")};
    QTest::addRow("no rows") << 0 << false
                             << QStringList{QStringLiteral("1"), QStringLiteral("Заголовок"),
                                            QStringLiteral("Ф.И.О."), QStringLiteral("Итого:"),
                                            QStringLiteral("0")};
    QTest::addRow("three rows") << 3 << false
                                << QStringList{
                                       QStringLiteral("1"),       QStringLiteral("Заголовок"),
                                       QStringLiteral("Ф.И.О."),  QStringLiteral("Алексеев"),
                                       QStringLiteral("Борисов"), QStringLiteral("Власов"),
                                       QStringLiteral("Итого:"),  QStringLiteral("3")};
}

void TestReport::bandOrder()
{
    QFETCH(int, rows);
    QFETCH(bool, closed);
    QFETCH(QStringList, expected);
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"), QStringLiteral("NameF"));
    const QStringList names{QStringLiteral("Власов"), QStringLiteral("Алексеев"),
                            QStringLiteral("Борисов")};
    for (int i = 0; i < rows; ++i)
        KVERIFY(addCandidate(*reserv, names[i], QStringLiteral("Иван"), {}));
    Report r;
    r.dataset = reserv.get();
    // Declared out of order: the engine prints by kind, not by the order of declaration.
    r.summary(8).label(kLine, QStringLiteral("Итого:"));
    r.summary().expression(QRectF(30, 0, 20, 5), QStringLiteral("Count"));
    r.detail(5).field(kLine, QStringLiteral("NameF"));
    r.columnHeader(6).label(kLine, QStringLiteral("Ф.И.О."));
    r.title(10).label(kLine, QStringLiteral("Заголовок"));
    r.pageHeader(6).add(report::ItemKind::PageNumber, kLine, {});
    if (closed)
        reserv->close();
    const int current = reserv->recNo();
    Document doc;
    KVERIFY(doc = r.build());
    QCOMPARE(doc.pageCount(), 1);
    QCOMPARE(doc.texts(0), expected);
    // The bands follow one another down the page.
    double y = 0;
    for (const Element& e : doc.page(0).elements) {
        QVERIFY(e.rect.top() >= y);
        y = e.rect.top();
    }
    // The layout read the rows without moving the cursor.
    QCOMPARE(reserv->recNo(), current);
}

void TestReport::subDetails_data()
{
    QTest::addColumn<int>("languages");
    QTest::addColumn<bool>("printIfEmpty");
    QTest::addColumn<QStringList>("expected");
    QTest::addRow("two languages") << 2 << false
                                   << QStringList{QStringLiteral("Иванов"),
                                                  QStringLiteral("Примечание к карточке"),
                                                  QStringLiteral("Иностранные языки"),
                                                  QStringLiteral("1"),
                                                  QStringLiteral("2"),
                                                  QStringLiteral("Языков: 2")};
    QTest::addRow("none, no heading")
        << 0 << false
        << QStringList{QStringLiteral("Иванов"), QStringLiteral("Примечание к карточке")};
    QTest::addRow("none, printed when empty")
        << 0 << true
        << QStringList{QStringLiteral("Иванов"), QStringLiteral("Примечание к карточке"),
                       QStringLiteral("Иностранные языки"), QStringLiteral("Языков: 0")};
}

void TestReport::subDetails()
{
    QFETCH(int, languages);
    QFETCH(bool, printIfEmpty);
    QFETCH(QStringList, expected);
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"));
    int keyr = 0;
    KVERIFY(keyr = addCandidate(*reserv, QStringLiteral("Иванов"), QStringLiteral("Иван"), {}));
    auto reclang = data.table(QStringLiteral("reclang.db"));
    for (int i = 1; i <= languages; ++i)
        KVERIFY(reclang->insertRecord({QVariant(), keyr, i, 1}));
    KVERIFY(reclang->insertRecord({QVariant(), keyr + 1, 9, 1})); // another candidate's
    KVERIFY(reclang->setFilter(QStringLiteral("Tabno=%1").arg(keyr)));
    KVERIFY(reclang->setFiltered(true));

    Report r; // no main dataset: the detail prints once, with the current candidate
    Band& detail = r.detail(6);
    detail.field(kLine, QStringLiteral("NameF"), {}, reserv.get());
    detail.addChild(6).label(kLine, QStringLiteral("Примечание к карточке"));
    Band& langs = detail.addSubDetail(*reclang, 5);
    langs.field(kLine, QStringLiteral("Lang"));
    langs.printIfEmpty = printIfEmpty;
    langs.header(7).label(kLine, QStringLiteral("Иностранные языки"));
    langs.footer(6).expression(kLine, QStringLiteral("'Языков: '+Count"));
    Document doc;
    KVERIFY(doc = r.build());
    QCOMPARE(allTexts(doc), expected);
}

void TestReport::hooks()
{
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"), QStringLiteral("NameF"));
    for (const char* name : {"Антонов", "Бобров", "Волков", "Быков"})
        KVERIFY(addCandidate(*reserv, QString::fromUtf8(name), QStringLiteral("Иван"), {}));
    Report r;
    r.dataset = reserv.get();
    Band& detail = r.detail(5);
    detail.label(kLine, {}).setName(QStringLiteral("who"));
    detail.picture(QRectF(70, 0, 10, 5), QStringLiteral("photo"));
    detail.addChild(5).label(kLine, QStringLiteral("ребенок"));
    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    // Surnames on "Б" are suppressed with their child; the others get a label and a picture.
    detail.beforePrint = [&](report::BandPrint& p) {
        const QString surname = p.text(QStringLiteral("namef"));
        p.print = !surname.startsWith(QStringLiteral("Б"));
        p.band.item(QStringLiteral("who"))->text = QStringLiteral("Кандидат ") + surname;
        p.band.item(QStringLiteral("photo"))->picture =
            surname == QStringLiteral("Волков") ? red : QImage();
    };
    r.summary(5).expression(kLine, QStringLiteral("Count"));
    Document doc;
    KVERIFY(doc = r.build());
    QCOMPARE(doc.texts(0),
             (QStringList{QStringLiteral("Кандидат Антонов"), QStringLiteral("ребенок"),
                          QStringLiteral("Кандидат Волков"), QStringLiteral("ребенок"),
                          QStringLiteral("2")}));
    int pictures = 0;
    for (const Element& e : doc.page(0).elements)
        pictures += e.kind == Element::Kind::Picture;
    QCOMPARE(pictures, 1);
}

void TestReport::groupHeaders()
{
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"), QStringLiteral("Note;NameF"));
    KVERIFY(addCandidate(*reserv, QStringLiteral("Алов"), QStringLiteral("А"), {},
                         QStringLiteral("бухгалтер")));
    KVERIFY(addCandidate(*reserv, QStringLiteral("Белов"), QStringLiteral("Б"), {},
                         QStringLiteral("бухгалтер")));
    KVERIFY(addCandidate(*reserv, QStringLiteral("Ветров"), QStringLiteral("В"), {},
                         QStringLiteral("водитель")));
    Report r;
    r.dataset = reserv.get();
    r.addGroupHeader(QStringLiteral("Note"), 6).field(kLine, QStringLiteral("Note"));
    r.detail(5).field(QRectF(10, 0, 50, 5), QStringLiteral("NameF"));
    Document doc;
    KVERIFY(doc = r.build());
    QCOMPARE(doc.texts(0), (QStringList{QStringLiteral("бухгалтер"), QStringLiteral("Алов"),
                                        QStringLiteral("Белов"), QStringLiteral("водитель"),
                                        QStringLiteral("Ветров")}));
}

void TestReport::expressions_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("expected"); // empty: an engine error is expected
    QTest::addRow("full name") << QStringLiteral("Namef+' '+Namei+' '+nameo")
                               << QStringLiteral("Петров Петр Петрович");
    QTest::addRow("quote in a text")
        << QStringLiteral("'д''Артаньян'") << QStringLiteral("д'Артаньян");
    QTest::addRow("numbers add") << QStringLiteral("1+2") << QStringLiteral("3");
    QTest::addRow("text and number")
        << QStringLiteral("'Итого: '+Count") << QStringLiteral("Итого: 1");
    QTest::addRow("parentheses") << QStringLiteral("NameF+(' '+NameI)")
                                 << QStringLiteral("Петров Петр");
    QTest::addRow("a date field") << QStringLiteral("DatBd+''") << QStringLiteral("17.05.1980");
    QTest::addRow("dangling plus") << QStringLiteral("Namef+") << QString();
    QTest::addRow("open quote") << QStringLiteral("'abc") << QString();
    QTest::addRow("unknown field") << QStringLiteral("Nosuch+''") << QString();
}

void TestReport::expressions()
{
    QFETCH(QString, expression);
    QFETCH(QString, expected);
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"));
    KVERIFY(addCandidate(*reserv, QStringLiteral("Петров"), QStringLiteral("Петр"),
                         QStringLiteral("Петрович")));
    Report r;
    r.dataset = reserv.get();
    r.detail(5).expression(QRectF(0, 0, 150, 5), expression);
    if (expected.isEmpty()) {
        KEXPECT_ERROR(r.build(),
                      expected.isEmpty() && expression.startsWith(QLatin1String("Nosuch"))
                          ? kdb::Error::Code::NotFound
                          : kdb::Error::Code::Syntax);
        return;
    }
    Document doc;
    KVERIFY(doc = r.build());
    QCOMPARE(doc.texts(0), QStringList{expected});
}

void TestReport::displayTexts()
{
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"));
    reserv->setDisplayValues(QStringLiteral("Kur"), QStringLiteral("Да;Нет"));
    reserv->close();
    reserv->open();
    KVERIFY(addCandidate(*reserv, QStringLiteral("Смирнов"), QStringLiteral("Олег"), {}));
    reserv->edit();
    reserv->fieldByName(QStringLiteral("Kur")).setValue(true);
    reserv->post();
    KVERIFY(addCandidate(*reserv, QStringLiteral("Яковлев"), QStringLiteral("Олег"), {}));
    reserv->edit();
    reserv->fieldByName(QStringLiteral("Kur")).setValue(false);
    reserv->post();
    Report r;
    r.dataset = reserv.get();
    r.detail(5).field(kLine, QStringLiteral("Kur"));
    r.detail().field(QRectF(70, 0, 30, 5), QStringLiteral("datbd"));
    r.detail().field(QRectF(110, 0, 30, 5), QStringLiteral("Nameo")); // empty: prints nothing
    Document doc;
    KVERIFY(doc = r.build());
    QCOMPARE(doc.texts(0), (QStringList{QStringLiteral("Да"), QStringLiteral("17.05.1980"),
                                        QStringLiteral("Нет"), QStringLiteral("17.05.1980")}));
}

void TestReport::memoLongerThanPage()
{
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"));
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines << QStringLiteral("Строка %1 длинной памятки кандидата").arg(i);
    KVERIFY(addCandidate(*reserv, QStringLiteral("Долгих"), QStringLiteral("Ян"), {}, {},
                         lines.join(QLatin1Char('\n'))));
    Report r;
    r.margins = {20, 10, 10, 20};
    r.pageHeader(8)
        .add(report::ItemKind::PageNumber, QRectF(0, 0, 20, 5), {})
        .setName(QStringLiteral("page"));
    Band& detail = r.detail(10);
    detail.label(QRectF(0, 0, 40, 5), QStringLiteral("Личные качества"));
    detail.memo(QRectF(45, 0, 100, 5), QStringLiteral("Memint"), {}, reserv.get());
    detail.frame.top = detail.frame.bottom = true;
    r.summary(6).label(kLine, QStringLiteral("Конец"));
    Document doc;
    KVERIFY(doc = r.build());
    QVERIFY2(doc.pageCount() >= 3, qPrintable(QString::number(doc.pageCount())));
    verifyInsideMargins(doc, 10, 20);
    QStringList printed;
    for (int p = 0; p < doc.pageCount(); ++p) {
        // The page header with the right number comes first on every page.
        QCOMPARE(doc.page(p).elements.front().text, QString::number(p + 1));
        for (const Element& e : doc.page(p).elements) {
            if (e.name == QLatin1String("Memint"))
                printed << e.text;
        }
    }
    QCOMPARE(printed, lines); // every line once, in order
    QCOMPARE(allTexts(doc).last(), QStringLiteral("Конец"));
    // The band's rules: the top one where it starts, the bottom one where it ends.
    QStringList rules;
    for (int p = 0; p < doc.pageCount(); ++p) {
        for (const Element& e : doc.page(p).elements) {
            if (e.kind == Element::Kind::Line)
                rules << QStringLiteral("%1 %2").arg(p + 1).arg(e.name);
        }
    }
    QCOMPARE(rules, (QStringList{QStringLiteral("1 top"),
                                 QStringLiteral("%1 bottom").arg(doc.pageCount())}));
}

void TestReport::bandsMoveWhole()
{
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"), QStringLiteral("NameF"));
    for (int i = 0; i < 12; ++i)
        KVERIFY(addCandidate(*reserv, QStringLiteral("Кандидат%1").arg(i, 2, 10, QLatin1Char('0')),
                             QStringLiteral("И"), {}));
    Report r;
    r.dataset = reserv.get();
    r.pageHeader(10).add(report::ItemKind::PageNumber, kLine, {});
    r.title(20).label(kLine, QStringLiteral("Список"));
    r.columnHeader(7).label(kLine, QStringLiteral("Ф.И.О."));
    Band& detail = r.detail(60);
    detail.field(kLine, QStringLiteral("NameF"));
    detail.field(QRectF(0, 50, 60, 5), QStringLiteral("NameI"));
    Document doc;
    KVERIFY(doc = r.build());
    verifyInsideMargins(doc, 10, 10);
    // Page 1: 277 mm less 37 of headers holds 4 bands of 60; later pages 277 - 17 hold 4.
    QCOMPARE(doc.pageCount(), 3);
    for (int p = 0; p < doc.pageCount(); ++p) {
        const QStringList texts = doc.texts(p);
        QCOMPARE(texts.at(0), QString::number(p + 1));
        if (p > 0) {
            QCOMPARE(texts.at(1), QStringLiteral("Ф.И.О.")); // heads repeat, title does not
            const Element* first = findText(doc, p, texts.at(2));
            QCOMPARE(first->rect.top(), 10.0 + 10 + 7);
        }
        // A band's two lines stay on one page.
        QCOMPARE(texts.count(QStringLiteral("И")), texts.filter(QStringLiteral("Кандидат")).size());
    }
}

void TestReport::margins_data()
{
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addRow("10 all round") << 10.0 << 10.0;
    QTest::addRow("card: 20 left, 10 top") << 20.0 << 10.0;
    QTest::addRow("wide") << 35.5 << 42.0;
}

void TestReport::margins()
{
    QFETCH(double, left);
    QFETCH(double, top);
    Report r;
    r.margins = {left, top, 10, 20};
    r.detail(10).label(QRectF(5, 3, 50, 5), QStringLiteral("Метка")).setAlignment(Qt::AlignLeft);
    r.detail()
        .label(QRectF(0, 0, r.bodyWidth(), 5), QStringLiteral("справа"))
        .setAlignment(Qt::AlignRight);
    Document doc;
    KVERIFY(doc = r.build());
    const Element& e = doc.page(0).elements.at(0);
    QCOMPARE(e.rect.left(), left + 5);
    QCOMPARE(e.rect.top(), top + 3);
    const Element& right = doc.page(0).elements.at(1);
    QVERIFY(qAbs(right.rect.right() - (210 - 10)) < 0.01);
    QVERIFY(right.rect.left() > 150);
}

void TestReport::richText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expectedStart");
    QTest::addColumn<int>("minimumPages");
    QTest::addRow("html") << QStringLiteral("<p><b>Ответственный</b>, <i>аккуратный</i></p>")
                          << QStringLiteral("Ответственный, аккуратный") << 1;
    QTest::addRow("malformed html") << QStringLiteral("<b>Жирный <i>текст</b><p><table><tr>ячейка")
                                    << QStringLiteral("Жирный текст") << 1;
    QTest::addRow("plain text") << QStringLiteral("просто текст") << QStringLiteral("просто текст")
                                << 1;
    QString longHtml = QStringLiteral("<html><body>");
    for (int i = 0; i < 120; ++i)
        longHtml += QStringLiteral("<p>Абзац номер %1 <b>жирно</b></p>").arg(i);
    QTest::addRow("longer than a page") << longHtml << QStringLiteral("Абзац номер 0 жирно") << 2;
}

void TestReport::richText()
{
    QFETCH(QString, text);
    QFETCH(QString, expectedStart);
    QFETCH(int, minimumPages);
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"));
    KVERIFY(addCandidate(*reserv, QStringLiteral("Р"), QStringLiteral("Р"), {}, {}, text));
    Report r;
    r.detail(5).richText(QRectF(0, 0, 180, 5), QStringLiteral("Memint"), {}, reserv.get());
    r.summary(5).label(kLine, QStringLiteral("конец"));
    Document doc;
    KVERIFY(doc = r.build());
    QVERIFY(doc.pageCount() >= minimumPages);
    verifyInsideMargins(doc, 10, 10);
    const QStringList texts = allTexts(doc);
    QVERIFY2(texts.first().startsWith(expectedStart), qPrintable(texts.first()));
    QCOMPARE(texts.last(), QStringLiteral("конец"));
    // The slices are painted as text: the PDF gives back the first and the last line.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("rich.pdf"));
    QString error;
    QVERIFY2(doc.savePdf(pdf, &error), qPrintable(error));
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
            {pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    const QString printed = QString::fromUtf8(p.readAllStandardOutput()).simplified();
    QVERIFY2(printed.contains(expectedStart), qPrintable(printed));
    QVERIFY2(printed.contains(texts.at(texts.size() - 2).simplified()), qPrintable(printed));
    QCOMPARE(printed.count(expectedStart), 1); // a slice never paints its neighbour's lines
}

void TestReport::composite()
{
    Report a, b;
    a.margins = {20, 10, 10, 20};
    a.pageHeader(6).add(report::ItemKind::PageNumber, kLine, {});
    a.detail(6).label(kLine, QStringLiteral("первый"));
    b.pageHeader(6).add(report::ItemKind::PageNumber, kLine, {});
    b.detail(6).label(kLine, QStringLiteral("второй"));
    Document doc;
    KVERIFY(doc = report::buildComposite({&a, &b}));
    QCOMPARE(doc.pageCount(), 2);
    QCOMPARE(doc.texts(0), (QStringList{QStringLiteral("1"), QStringLiteral("первый")}));
    QCOMPARE(doc.texts(1), (QStringList{QStringLiteral("2"), QStringLiteral("второй")}));
    QCOMPARE(doc.page(0).elements.at(0).rect.left(), 20.0);
    QCOMPARE(doc.page(1).elements.at(0).rect.left(), 10.0);
}

void TestReport::golden()
{
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"), QStringLiteral("NameF"));
    KVERIFY(addCandidate(*reserv, QStringLiteral("Орлова"), QStringLiteral("Анна"),
                         QStringLiteral("Сергеевна"),
                         QStringLiteral("Бухгалтер со стажем работы в торговле и на производстве, "
                                        "знание 1С, готова к переезду")));
    KVERIFY(addCandidate(*reserv, QStringLiteral("Зайцев"), QStringLiteral("Игорь"), {}));
    Report r;
    r.dataset = reserv.get();
    r.date = QDate(2026, 3, 1);
    const report::Font bold{QStringLiteral("Times New Roman"), 10, true};
    r.pageHeader(6)
        .add(report::ItemKind::PageNumber, QRectF(170, 0, 20, 5), {}, bold)
        .setName(QStringLiteral("page"))
        .setAlignment(Qt::AlignRight);
    Band& title = r.title(16);
    title.label(QRectF(0, 0, 120, 8), QStringLiteral("Список кандидатов"),
                {QStringLiteral("Times New Roman"), 16, true});
    title.add(report::ItemKind::SystemDate, QRectF(150, 0, 40, 6), {}, bold)
        .setName(QStringLiteral("date"));
    title.frame.bottom = true;
    Band& detail = r.detail(6);
    detail.expression(QRectF(0, 0, 70, 5), QStringLiteral("Namef+' '+Namei+' '+nameo"), bold)
        .setName(QStringLiteral("fio"));
    detail.memo(QRectF(75, 0, 60, 5), QStringLiteral("Note"), bold);
    Band& summary = r.summary(8);
    summary.frame.top = true;
    summary.label(QRectF(0, 1, 20, 6), QStringLiteral("Итого:"),
                  {QStringLiteral("Times New Roman"), 12, true, false, true});
    summary.expression(QRectF(20, 1, 20, 6), QStringLiteral("Count"), bold)
        .setName(QStringLiteral("count"));
    Document doc;
    KVERIFY(doc = r.build());
    KCOMPARE_GOLDEN(QStringLiteral("golden/list.txt"), doc.dump());
}

void TestReport::pdfReadBack()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    QVERIFY2(!pdftotext.isEmpty(), "pdftotext is missing: scripts/install-deps.sh installs it");
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"), QStringLiteral("NameF"));
    QStringList names;
    for (int i = 0; i < 120; ++i) {
        names << QStringLiteral("Фамилия%1").arg(i, 3, 10, QLatin1Char('0'));
        KVERIFY(
            addCandidate(*reserv, names.last(), QStringLiteral("Ёжик"), QStringLiteral("Щукин")));
    }
    Report r;
    r.dataset = reserv.get();
    r.pageHeader(6).add(report::ItemKind::PageNumber, kLine, {});
    r.detail(6).expression(QRectF(0, 0, 150, 5), QStringLiteral("Namef+' '+Namei+' '+nameo"));
    Document doc;
    KVERIFY(doc = r.build());
    QVERIFY(doc.pageCount() >= 2);
    QString error;
    const QString pdf = QDir(data.dir.path()).filePath(QStringLiteral("список.pdf"));
    QVERIFY2(doc.savePdf(pdf, &error), qPrintable(error));
    QProcess p;
    p.start(pdftotext, {pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& name : names)
        QVERIFY2(text.contains(name + QStringLiteral(" Ёжик Щукин")), qPrintable(name));
    QCOMPARE(text.count(QLatin1Char('\f')), doc.pageCount());
}

void TestReport::pdfUnwritable_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addRow("folder that is a file") << QStringLiteral("file.txt/out.pdf");
    QTest::addRow("missing folder") << QStringLiteral("no/such/folder/out.pdf");
}

void TestReport::pdfUnwritable()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file.txt")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Report r;
    r.detail(5).label(kLine, QStringLiteral("текст"));
    Document doc = r.build();
    QString error;
    const QString target = dir.filePath(relative);
    QVERIFY(!doc.savePdf(target, &error));
    QVERIFY2(error.contains(QStringLiteral("Не удалось записать файл")), qPrintable(error));
    QVERIFY2(error.contains(QFileInfo(target).fileName()), qPrintable(error));
    // Nothing half-written is left anywhere in the folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("file.txt")});
}

void TestReport::pdfStopped()
{
    Report r;
    r.detail(5).label(kLine, QStringLiteral("страница"));
    Report more;
    more.detail(5).label(kLine, QStringLiteral("ещё"));
    Document doc = report::buildComposite({&r, &more, &r, &more});
    QCOMPARE(doc.pageCount(), 4);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("прерван.pdf"));
    QList<int> seen;
    QString error = QStringLiteral("unchanged");
    const bool saved = doc.savePdf(target, &error, [&](int done, int total) {
        seen << done;
        return !(done == 2 && total == 4);
    });
    QVERIFY(!saved);
    QVERIFY2(error.isEmpty(), qPrintable(error)); // stopped by the user: nothing to tell
    QCOMPARE(seen, (QList<int>{0, 1, 2}));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void TestReport::previewNavigation()
{
    Report r;
    r.pageHeader(6).add(report::ItemKind::PageNumber, kLine, {});
    Band& detail = r.detail(5);
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QStringLiteral("строка %1").arg(i);
    detail.add(report::ItemKind::Memo, QRectF(0, 0, 100, 5), {});
    detail.beforePrint = [&](report::BandPrint& p) {
        p.band.items().front()->kind = report::ItemKind::Label;
        p.band.items().front()->stretch = true;
        p.band.items().front()->text = lines.join(QLatin1Char('\n'));
    };
    report::PreviewWindow w({&r});
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.layoutFinished());
    QVERIFY2(w.pageCount() >= 3, qPrintable(w.document().dump()));
    auto button = [&](const QString& caption) {
        for (auto* b : w.findChildren<QPushButton*>()) {
            if (b->text() == caption)
                return b;
        }
        return static_cast<QPushButton*>(nullptr);
    };
    QCOMPARE(w.currentPage(), 0);
    QVERIFY(!button(QStringLiteral("Первая"))->isEnabled());
    QTest::keyClick(&w, Qt::Key_PageDown);
    QCOMPARE(w.currentPage(), 1);
    // The keys turn pages also when the page area has the focus.
    auto* area = w.findChild<QScrollArea*>();
    QTest::keyClick(area, Qt::Key_PageDown);
    QCOMPARE(w.currentPage(), 2);
    QTest::keyClick(area, Qt::Key_Home);
    QCOMPARE(w.currentPage(), 0);
    QTest::keyClick(&w, Qt::Key_PageDown);
    QTest::keyClick(&w, Qt::Key_End);
    QCOMPARE(w.currentPage(), w.pageCount() - 1);
    QVERIFY(!button(QStringLiteral("Следующая"))->isEnabled());
    QTest::keyClick(&w, Qt::Key_PageDown); // stays on the last page
    QCOMPARE(w.currentPage(), w.pageCount() - 1);
    QTest::keyClick(&w, Qt::Key_PageUp);
    QCOMPARE(w.currentPage(), w.pageCount() - 2);
    QTest::keyClick(&w, Qt::Key_Home);
    QCOMPARE(w.currentPage(), 0);
    button(QStringLiteral("Следующая"))->click();
    QCOMPARE(w.currentPage(), 1);
    const double whole = w.pixelsPerMm();
    button(QStringLiteral("По ширине"))->click();
    QCOMPARE(w.zoom(), report::PreviewWindow::Zoom::PageWidth);
    QVERIFY(w.pixelsPerMm() > whole);
    button(QStringLiteral("100%"))->click();
    QCOMPARE(w.pixelsPerMm(), w.logicalDpiX() / 25.4);
    for (auto* b : w.findChildren<QPushButton*>())
        QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->text()));
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
}

void TestReport::previewLaysOutLazily()
{
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"), QStringLiteral("NameF"));
    // Rows go in through one transaction-free append loop; 600 rows make some 12 pages.
    for (int i = 0; i < 600; ++i)
        KVERIFY(reserv->insertRecord(
            {QVariant(), QStringLiteral("Кандидат%1").arg(i, 4, 10, QLatin1Char('0'))}));
    Report r;
    r.dataset = reserv.get();
    r.detail(5).field(kLine, QStringLiteral("NameF"));
    report::PreviewWindow w({&r});
    // The window opens on the first page before the last is laid out.
    QVERIFY(w.pageCount() >= 1);
    QVERIFY(!w.layoutFinished());
    QCOMPARE(w.document().texts(0).first(), QStringLiteral("Кандидат0000"));
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(w.layoutFinished(), 60000);
    QCOMPARE(w.pageCount(), 11); // 55 rows of 5 mm in the 277 mm between the margins
    QTest::keyClick(&w, Qt::Key_End);
    QCOMPARE(w.document().texts(w.currentPage()).last(), QStringLiteral("Кандидат0599"));

    // A row added and the dataset re-read while the layout is under way: the rows are read
    // again from the start, each once.
    report::PreviewWindow again({&r});
    QVERIFY(!again.layoutFinished());
    KVERIFY(reserv->insertRecord({QVariant(), QStringLiteral("Кандидат0000а")}));
    KVERIFY(reserv->refresh());
    again.finishLayout();
    QStringList printed;
    for (int p = 0; p < again.pageCount(); ++p)
        printed += again.document().texts(p);
    QCOMPARE(printed.size(), 601);
    QCOMPARE(printed.at(1), QStringLiteral("Кандидат0000а"));
    QCOMPARE(printed.removeDuplicates(), 0);
}

void TestReport::previewFailures()
{
    Report r;
    r.detail(5).label(kLine, QStringLiteral("текст"));
    report::PreviewWindow w({&r});
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file.txt")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    // A PDF into a folder that cannot be written: a clear message, no file.
    {
        kadroltest::MessageBoxAnswerer ok(QStringLiteral("OK"));
        QVERIFY(!w.saveTo(dir.filePath(QStringLiteral("file.txt/список.pdf"))));
        QCOMPARE(ok.count(), 1);
        QVERIFY2(ok.texts().first().contains(QStringLiteral("Не удалось записать файл")),
                 qPrintable(ok.texts().first()));
    }
    // A printer that cannot start its job.
    {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("file.txt/печать.pdf")));
        kadroltest::MessageBoxAnswerer ok(QStringLiteral("OK"));
        QVERIFY(!w.printTo(printer));
        QCOMPARE(ok.texts(), QStringList{QStringLiteral("Не удалось напечатать документ.")});
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("file.txt")});
    // The same printer on a folder it can write prints the page, with the report's margins.
    {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("печать.pdf")));
        QVERIFY(w.printTo(printer));
        QProcess p;
        p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
                {QStringLiteral("-bbox"), printer.outputFileName(), QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        const QString html = QString::fromUtf8(p.readAllStandardOutput());
        // 10 mm is 28.3 points: the word starts there, not at the printer's own margin.
        static const QRegularExpression word(QStringLiteral("xMin=\"([0-9.]+)\"[^>]*>текст<"));
        const QRegularExpressionMatch m = word.match(html);
        QVERIFY2(m.hasMatch(), qPrintable(html));
        QVERIFY2(qAbs(m.captured(1).toDouble() - 28.35) < 1.0, qPrintable(m.captured(1)));
    }

    // "Печать" cancelled in the printer dialog prints nothing and shows no message.
    bool dialogSeen = false;
    QTimer::singleShot(200, this, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QPrintDialog*>(top); d && d->isVisible()) {
                dialogSeen = true;
                d->reject();
            }
        }
    });
    kadroltest::MessageBoxAnswerer ok(QStringLiteral("OK"));
    kadroltest::buttonByCaption(&w, QStringLiteral("Печать"))->click();
    QVERIFY(dialogSeen);
    QCOMPARE(ok.count(), 0);
    QVERIFY(w.isVisible());

    // A report that names a field its dataset lacks: the engine's message, once, and no PDF.
    DataFolder data;
    auto reserv = data.table(QStringLiteral("reserv.db"));
    KVERIFY(addCandidate(*reserv, QStringLiteral("Ошибкин"), QStringLiteral("Ян"), {}));
    Report broken;
    broken.dataset = reserv.get();
    broken.detail(5).field(kLine, QStringLiteral("Nosuch"));
    report::PreviewWindow bad({&broken});
    bad.show();
    QTRY_COMPARE(ok.count(), 1);
    QVERIFY2(ok.texts().first().contains(QStringLiteral("Nosuch"), Qt::CaseInsensitive),
             qPrintable(ok.texts().first()));
    QVERIFY(bad.layoutFinished());
    QVERIFY(!bad.saveTo(dir.filePath(QStringLiteral("сломан.pdf"))));
    QCOMPARE(ok.count(), 1);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("сломан.pdf"))));
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
