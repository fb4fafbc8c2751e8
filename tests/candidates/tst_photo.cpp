// The candidate's photo and CV file: photos of every kind a recruiter meets (JPEG in colour and
// grey, BMP, a Cyrillic name with blanks, a missing file, a text file named .jpg, a copy broken
// off, a 40-megapixel camera picture) decoded and scaled for the card's box without freezing the
// window, and the paths of the Foto and CV folders with either separator.
#include "reservfiles.h"
#include "reservphoto.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTransform>
#include <QtTest>

using kadrol::Photo;

namespace {

// A picture with something on it (JPEG of a flat colour is too kind to the decoder).
QImage testPicture(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 180, 160));
    QPainter p(&image);
    p.setBrush(QColor(40, 60, 150));
    p.drawEllipse(QRect(width / 4, height / 6, width / 2, height / 2));
    p.end();
    return image.convertToFormat(format);
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestPhoto : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void decode_data();
    void decode();
    void hugeJpegDecodesScaledWithoutFreezingTheWindow();
    void laterRequestSupersedesEarlier();
    void photoBoxShowsAndEmpties();
    void failureQuestion();
    void paths_data();
    void paths();
    void storedCvName_data();
    void storedCvName();
    void cvInsideFolderReachedThroughALink();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
};

void TestPhoto::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(testPicture(600, 800).save(path(QStringLiteral("colour.jpg")), "JPG", 85));
    QVERIFY(testPicture(600, 800, QImage::Format_Grayscale8)
                .save(path(QStringLiteral("grey.jpg")), "JPG", 85));
    QVERIFY(testPicture(300, 400).save(path(QStringLiteral("photo.bmp")), "BMP"));
    QVERIFY(testPicture(600, 800).save(path(QStringLiteral("Фото Иванова И.И.jpg")), "JPG"));
    // A JPEG under a BMP's name: the content decides.
    QVERIFY(testPicture(600, 800).save(path(QStringLiteral("really-jpeg.bmp")), "JPG"));
    QVERIFY(writeFile(path(QStringLiteral("text.jpg")), "Резюме кандидата, не фотография\n"));
    QVERIFY(writeFile(path(QStringLiteral("empty.jpg")), QByteArray()));
    const QByteArray jpeg = fileBytes(path(QStringLiteral("colour.jpg")));
    QVERIFY(writeFile(path(QStringLiteral("cut.jpg")), jpeg.left(jpeg.size() / 2)));
    QVERIFY(writeFile(path(QStringLiteral("cut-header.jpg")), jpeg.left(40)));
    const QByteArray bmp = fileBytes(path(QStringLiteral("photo.bmp")));
    QVERIFY(writeFile(path(QStringLiteral("cut.bmp")), bmp.left(bmp.size() / 2)));
    // A camera picture taken upright: stored lying on its side (800 x 600, the ellipse at the
    // right) with the EXIF note "turn a quarter clockwise".
    {
        QByteArray side;
        QBuffer out(&side);
        out.open(QIODevice::WriteOnly);
        QVERIFY(testPicture(600, 800).transformed(QTransform().rotate(-90)).save(&out, "JPG", 85));
        const QByteArray exif = QByteArray("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0"
                                           "\x06\0\0\0\0\0\0\0",
                                           32);
        QByteArray app1("\xFF\xE1", 2);
        app1.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xFF));
        app1.append(exif);
        QVERIFY(writeFile(path(QStringLiteral("camera-turned.jpg")),
                          side.left(2) + app1 + side.mid(2)));
    }
    // A 40-megapixel camera picture.
    QVERIFY(testPicture(7296, 5472).save(path(QStringLiteral("huge.jpg")), "JPG", 80));
}

void TestPhoto::decode_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("status");
    QTest::addColumn<QSize>("original");
    QTest::addColumn<QSize>("shown"); // for a box of 150 x 200
    const QSize box150(150, 200);
    QTest::addRow("colour jpeg") << "colour.jpg" << int(Photo::Status::Ok) << QSize(600, 800)
                                 << box150;
    QTest::addRow("grey jpeg") << "grey.jpg" << int(Photo::Status::Ok) << QSize(600, 800) << box150;
    QTest::addRow("bmp") << "photo.bmp" << int(Photo::Status::Ok) << QSize(300, 400) << box150;
    QTest::addRow("cyrillic name with blanks")
        << "Фото Иванова И.И.jpg" << int(Photo::Status::Ok) << QSize(600, 800) << box150;
    QTest::addRow("camera picture turned upright")
        << "camera-turned.jpg" << int(Photo::Status::Ok) << QSize(600, 800) << box150;
    QTest::addRow("jpeg named bmp")
        << "really-jpeg.bmp" << int(Photo::Status::Ok) << QSize(600, 800) << box150;
    QTest::addRow("40 megapixels, proportions kept")
        << "huge.jpg" << int(Photo::Status::Ok) << QSize(7296, 5472) << QSize(150, 112);
    QTest::addRow("missing") << "nobody.jpg" << int(Photo::Status::Missing) << QSize() << QSize();
    QTest::addRow("a folder") << "." << int(Photo::Status::Missing) << QSize() << QSize();
    QTest::addRow("not a picture")
        << "text.jpg" << int(Photo::Status::NotAPicture) << QSize() << QSize();
    QTest::addRow("empty file") << "empty.jpg" << int(Photo::Status::NotAPicture) << QSize()
                                << QSize();
    QTest::addRow("jpeg cut in half")
        << "cut.jpg" << int(Photo::Status::Truncated) << QSize(600, 800) << QSize();
    QTest::addRow("jpeg cut in its header")
        << "cut-header.jpg" << int(Photo::Status::Truncated) << QSize() << QSize();
    QTest::addRow("bmp cut in half")
        << "cut.bmp" << int(Photo::Status::Truncated) << QSize(300, 400) << QSize();
}

void TestPhoto::decode()
{
    QFETCH(QString, file);
    QFETCH(int, status);
    QFETCH(QSize, original);
    QFETCH(QSize, shown);
    const Photo photo = kadrol::decodePhoto(path(file), QSize(150, 200));
    QCOMPARE(int(photo.status), status);
    QCOMPARE(photo.path, path(file));
    if (original.isValid())
        QCOMPARE(photo.originalSize, original);
    QCOMPARE(photo.image.isNull(), !shown.isValid());
    if (shown.isValid())
        QCOMPARE(photo.image.size(), shown);
    QCOMPARE(photo.ok(), !shown.isEmpty());
    if (photo.ok()) {
        // The picture itself came through: the dark ellipse is in the middle, the light
        // background in the corner (blue on beige in colour).
        const QRgb middle = photo.image.pixel(shown.width() / 2, shown.height() / 3);
        const QRgb corner = photo.image.pixel(1, 1);
        QVERIFY2(qGray(middle) + 60 < qGray(corner), qPrintable(QString::number(middle, 16)));
        if (!QByteArray(QTest::currentDataTag()).startsWith("grey"))
            QVERIFY2(qBlue(middle) > qRed(middle) + 60, qPrintable(QString::number(middle, 16)));
    }
}

void TestPhoto::hugeJpegDecodesScaledWithoutFreezingTheWindow()
{
    kadrol::PhotoLoader loader;
    QSignalSpy spy(&loader, &kadrol::PhotoLoader::loaded);
    // The window's event loop keeps turning while the photo is decoded: the longest gap
    // between two ticks of a 10 ms timer is what a user would feel.
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, this, [&] {
        const qint64 now = clock.elapsed();
        longestGap = qMax(longestGap, now - lastTick);
        lastTick = now;
    });
    clock.start();
    ticker.start();
    QElapsedTimer call;
    call.start();
    loader.load(path(QStringLiteral("huge.jpg")), QSize(150, 200));
    const qint64 callTime = call.elapsed();
    QVERIFY(loader.busy());
    QVERIFY(spy.wait(30000));
    const qint64 total = clock.elapsed();
    ticker.stop();
    qInfo("40-megapixel JPEG: load() returned in %lld ms, decoded in %lld ms, longest pause of "
          "the event loop %lld ms",
          callTime, total, longestGap);
    QVERIFY2(callTime < 50, "load() must return at once");
    QVERIFY2(longestGap < 1000, "the window froze");
    QVERIFY(!loader.busy());
    const auto photo = spy.at(0).at(0).value<Photo>();
    QCOMPARE(int(photo.status), int(Photo::Status::Ok));
    QCOMPARE(photo.image.size(), QSize(150, 112));
}

void TestPhoto::laterRequestSupersedesEarlier()
{
    kadrol::PhotoLoader loader;
    QSignalSpy spy(&loader, &kadrol::PhotoLoader::loaded);
    loader.load(path(QStringLiteral("huge.jpg")), QSize(150, 200));
    loader.load(path(QStringLiteral("photo.bmp")), QSize(150, 200));
    QVERIFY(spy.wait(30000));
    QTest::qWait(300); // the first decode may finish later: it must not be delivered
    QTRY_VERIFY_WITH_TIMEOUT(!loader.busy(), 30000);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<Photo>().path, path(QStringLiteral("photo.bmp")));

    // A loader that goes away while its decode runs hears nothing more and leaves nothing.
    auto* gone = new kadrol::PhotoLoader;
    gone->load(path(QStringLiteral("huge.jpg")), QSize(150, 200));
    delete gone;
    QTest::qWait(50);
}

void TestPhoto::photoBoxShowsAndEmpties()
{
    QWidget window;
    auto* box = new kadrol::PhotoBox(&window);
    box->resize(150, 200);
    window.show();
    QSignalSpy spy(box, &kadrol::PhotoBox::loaded);

    box->showFile(path(QStringLiteral("colour.jpg")));
    QVERIFY(spy.wait(10000));
    QVERIFY(box->hasPicture());
    QVERIFY(box->photo().ok());

    box->showFile(path(QStringLiteral("text.jpg")));
    QVERIFY(!box->hasPicture()); // emptied at once, before the result
    QVERIFY(spy.wait(10000));
    QVERIFY(!box->hasPicture());
    QCOMPARE(int(box->photo().status), int(Photo::Status::NotAPicture));

    box->showFile(path(QStringLiteral("colour.jpg")));
    box->clear(); // cleared before the result: it stays empty
    QTest::qWait(500);
    QVERIFY(!box->hasPicture());
    QCOMPARE(int(box->photo().status), int(Photo::Status::Empty));
}

void TestPhoto::failureQuestion()
{
    QCOMPARE(kadrol::photoFailureQuestion(QStringLiteral("/p/Foto/a.jpg")),
             QStringLiteral("Файл /p/Foto/a.jpg не найден или не соответствует формату bmp или "
                            "jpeg. Очистить поле?"));
}

void TestPhoto::paths_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("photo");
    QTest::addColumn<QString>("cv");
    const QString p = QStringLiteral("/opt/Кадролог");
    QTest::addRow("empty") << ""
                           << ""
                           << "";
    QTest::addRow("plain name") << "ivanov.jpg" << p + "/Foto/ivanov.jpg" << p + "/CV/ivanov.jpg";
    QTest::addRow("cyrillic with blanks")
        << "Иванов И.И. резюме.doc" << p + "/Foto/Иванов И.И. резюме.doc"
        << p + "/CV/Иванов И.И. резюме.doc";
    QTest::addRow("subfolder, backslash")
        << "2024\\Иванов.doc" << p + "/Foto/2024/Иванов.doc" << p + "/CV/2024/Иванов.doc";
    QTest::addRow("subfolder, slash")
        << "2024/Иванов.doc" << p + "/Foto/2024/Иванов.doc" << p + "/CV/2024/Иванов.doc";
    QTest::addRow("full path") << "/home/hr/Мои документы/cv.doc" << QString()
                               << "/home/hr/Мои документы/cv.doc";
    QTest::addRow("windows full path") << "C:\\Резюме\\cv.doc" << QString() << "C:/Резюме/cv.doc";
}

void TestPhoto::paths()
{
    QFETCH(QString, stored);
    QFETCH(QString, photo);
    QFETCH(QString, cv);
    const QString programDir = QStringLiteral("/opt/Кадролог");
    if (!photo.isNull()) // a photo is stored by its file name only
        QCOMPARE(kadrol::photoPath(programDir, stored), QDir::toNativeSeparators(photo));
    QCOMPARE(kadrol::cvPath(programDir, stored), QDir::toNativeSeparators(cv));
    // A program folder given with a trailing separator makes the same paths.
    QCOMPARE(kadrol::cvPath(programDir + QLatin1Char('/'), stored), QDir::toNativeSeparators(cv));
}

void TestPhoto::storedCvName_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("stored");
    const QString p = QStringLiteral("/opt/Кадролог");
    QTest::addRow("inside") << p << p + "/CV/Иванов резюме.doc"
                            << "Иванов резюме.doc";
    QTest::addRow("in a subfolder") << p << p + "/CV/2024/Иванов.doc"
                                    << "2024/Иванов.doc";
    QTest::addRow("upper-case program folder") << p.toUpper() << p + "/CV/Иванов.doc"
                                               << "Иванов.doc";
    QTest::addRow("cv folder in other letters") << p << p + "/cv/Иванов.doc"
                                                << "Иванов.doc";
    QTest::addRow("backslashes") << p << "\\opt\\Кадролог\\CV\\Иванов.doc"
                                 << "Иванов.doc";
    QTest::addRow("outside") << p << "/home/hr/Мои документы/Иванов.doc"
                             << "/home/hr/Мои документы/Иванов.doc";
    QTest::addRow("beside the cv folder")
        << p << p + "/CVold/Иванов.doc" << p + "/CVold/Иванов.doc";
    QTest::addRow("folder named like the program's elsewhere")
        << p << "/home" + p + "/CV/Иванов.doc"
        << "/home" + p + "/CV/Иванов.doc";
    QTest::addRow("the folder itself") << p << p + "/CV" << p + "/CV";
}

void TestPhoto::storedCvName()
{
    QFETCH(QString, programFolder);
    QFETCH(QString, chosen);
    QFETCH(QString, stored);
    const QString name = kadrol::storedCvName(programFolder, chosen);
    QCOMPARE(name, QDir::toNativeSeparators(stored));
    // What is stored leads back to the chosen file.
    if (!chosen.contains(QLatin1Char('\\')) && chosen != programFolder + QStringLiteral("/CV"))
        QCOMPARE(QDir::fromNativeSeparators(kadrol::cvPath(QStringLiteral("/opt/Кадролог"), name))
                     .toUpper(),
                 chosen.toUpper());
}

void TestPhoto::cvInsideFolderReachedThroughALink()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Программа/CV")));
    const QString real = dir.filePath(QStringLiteral("Программа"));
    const QString link = dir.filePath(QStringLiteral("ссылка"));
    QVERIFY(QFile::link(real, link));
    QVERIFY(writeFile(real + QStringLiteral("/CV/Иванов резюме.doc"), "cv"));
    QCOMPARE(kadrol::storedCvName(link, real + QStringLiteral("/CV/Иванов резюме.doc")),
             QStringLiteral("Иванов резюме.doc"));
}

QTEST_MAIN(TestPhoto)
#include "tst_photo.moc"
