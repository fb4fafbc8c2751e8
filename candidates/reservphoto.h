#pragma once

#include <QFrame>
#include <QImage>
#include <QMetaType>
#include <QSize>
#include <QString>
#include <memory>

class QLabel;

namespace kadrol {

// A candidate's photo read from its file, scaled down to fit a box.
//
// JPEG files are decoded through libjpeg's decompression interface, which can decode a scaled
// image directly (an eighth, a quarter, a half ...): a 40-megapixel photo for a box of a few
// hundred pixels is decoded at an eighth of its size, in a fraction of the time and memory. BMP
// and the other picture formats go through Qt's image reader. The file's content decides, not
// its extension; file names may hold any letters (Cyrillic, blanks). A camera's note of how the
// picture is turned (EXIF orientation) is followed.
struct Photo {
    enum class Status {
        Empty,       // no file was asked for
        Ok,          // image holds the picture
        Missing,     // no such file (or it cannot be read)
        NotAPicture, // the file is no picture Qt or libjpeg knows
        Truncated,   // the file ends inside the picture (a broken copy)
        TooLarge,    // even scaled down the picture would not fit in memory
    };
    Status status = Status::Empty;
    QString path;
    QImage image;       // scaled to fit the box keeping proportions; null unless Ok
    QSize originalSize; // the picture's own size as shown (turned by EXIF), when known
    bool ok() const { return status == Status::Ok; }
};

// Reads and decodes a photo file for a box of that size (in device pixels) and scales it to
// fit; safe on any thread. An invalid or empty box keeps the decoded size. Never throws.
Photo decodePhoto(const QString& path, const QSize& box);

// The card's question for a photo that did not load: "Файл <path> не найден или не соответствует
// формату bmp или jpeg. Очистить поле?"
QString photoFailureQuestion(const QString& path);

// Loads photos off the user-interface thread, so that a huge or slow file never freezes the
// window. Each load() supersedes the one before it: only the last request's result is
// delivered (loaded), on the thread of the loader, after load() has returned.
class PhotoLoader : public QObject {
    Q_OBJECT
public:
    explicit PhotoLoader(QObject* parent = nullptr);
    ~PhotoLoader() override;

    void load(const QString& path, const QSize& box);
    void cancel();                       // forgets the request in progress
    bool busy() const { return m_busy; } // a request's result is still to come

Q_SIGNALS:
    void loaded(const kadrol::Photo& photo);

private:
    struct Shared;
    void deliver(quint64 ticket, const Photo& photo);

    std::shared_ptr<Shared> m_shared;
    quint64 m_ticket = 0;
    bool m_busy = false;
};

// The card's photo area: a framed box with the text "Место для фото" that a loaded photo
// covers, drawn to fit the box with its proportions kept. showFile() starts the load and
// returns at once; loaded() tells the result (the card asks its question on a failure, when
// the box is already empty).
class PhotoBox : public QFrame {
    Q_OBJECT
public:
    explicit PhotoBox(QWidget* parent = nullptr);

    void showFile(const QString& path); // an empty path empties the box
    void clear();
    const Photo& photo() const { return m_photo; }
    bool busy() const;
    bool hasPicture() const { return !m_shown.isNull(); }

    QSize sizeHint() const override;

Q_SIGNALS:
    void loaded(const kadrol::Photo& photo);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void onLoaded(const Photo& photo);

    PhotoLoader* m_loader;
    QLabel* m_placeholder;
    Photo m_photo;
    QImage m_shown;
};

} // namespace kadrol

Q_DECLARE_METATYPE(kadrol::Photo)
