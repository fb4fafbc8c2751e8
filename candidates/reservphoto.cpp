#include "reservphoto.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QLabel>
#include <QMutex>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>
#include <QTransform>
#include <QVBoxLayout>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jpeglib.h>

#include <jerror.h>
}

namespace kadrol {

namespace {

// Above this many pixels a scaled picture is refused rather than decoded (about 200 MB).
constexpr qint64 maxDecodedPixels = 50'000'000;
// The box a photo is scaled for when the caller gives none.
const QSize defaultBox(400, 400);

// One JPEG decode. libjpeg reports a fatal error by calling error_exit, which must not return:
// it jumps back to decodeJpeg. Everything the jump must not lose lives in this structure, in
// memory the jump does not touch, and no C++ object with a destructor lives in decodeJpeg.
struct JpegJob {
    jpeg_decompress_struct cinfo;
    struct Err {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
        JpegJob* job;
    } err;
    const unsigned char* data = nullptr;
    unsigned long size = 0;
    int boxWidth = 0;
    int boxHeight = 0;
    // results
    int fullWidth = 0;
    int fullHeight = 0;
    int width = 0;
    int height = 0;
    int components = 0;
    bool cmyk = false;
    unsigned char* pixels = nullptr; // malloc'd, width * height * components
    bool failed = false;
    bool truncated = false;
    bool tooLarge = false;
    bool created = false;
};

extern "C" void jpegErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JpegJob::Err*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

extern "C" void jpegMessage(j_common_ptr cinfo, int level)
{
    // Warnings (level -1) go unprinted; the one that matters is the premature end of the file,
    // where libjpeg fills the rest of the picture with grey.
    auto* err = reinterpret_cast<JpegJob::Err*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        err->job->truncated = true;
}

// The smallest scale n/8 at which the picture still covers the box, so that the final smooth
// scaling has enough pixels to work with.
unsigned int scaleNumerator(int width, int height, int boxWidth, int boxHeight)
{
    if (boxWidth <= 0 || boxHeight <= 0)
        return 8;
    for (unsigned int n = 1; n < 8; ++n) {
        const qint64 w = (qint64(width) * n + 7) / 8;
        const qint64 h = (qint64(height) * n + 7) / 8;
        if (w >= boxWidth && h >= boxHeight)
            return n;
    }
    return 8;
}

void decodeJpeg(JpegJob* job)
{
    job->cinfo.err = jpeg_std_error(&job->err.pub);
    job->err.pub.error_exit = jpegErrorExit;
    job->err.pub.emit_message = jpegMessage;
    job->err.job = job;
    if (setjmp(job->err.jump)) {
        job->failed = true;
        if (job->created)
            jpeg_destroy_decompress(&job->cinfo);
        return;
    }
    jpeg_create_decompress(&job->cinfo);
    job->created = true;
    jpeg_mem_src(&job->cinfo, job->data, job->size);
    jpeg_read_header(&job->cinfo, TRUE);
    job->fullWidth = static_cast<int>(job->cinfo.image_width);
    job->fullHeight = static_cast<int>(job->cinfo.image_height);
    job->cinfo.scale_num =
        scaleNumerator(job->fullWidth, job->fullHeight, job->boxWidth, job->boxHeight);
    job->cinfo.scale_denom = 8;
    job->cinfo.dct_method = JDCT_ISLOW;
    if (job->cinfo.jpeg_color_space == JCS_CMYK || job->cinfo.jpeg_color_space == JCS_YCCK) {
        job->cinfo.out_color_space = JCS_CMYK;
        job->cmyk = true;
    } else {
        job->cinfo.out_color_space = JCS_RGB;
    }
    jpeg_calc_output_dimensions(&job->cinfo);
    if (qint64(job->cinfo.output_width) * qint64(job->cinfo.output_height) > maxDecodedPixels) {
        job->tooLarge = true;
        jpeg_destroy_decompress(&job->cinfo);
        return;
    }
    jpeg_start_decompress(&job->cinfo);
    job->width = static_cast<int>(job->cinfo.output_width);
    job->height = static_cast<int>(job->cinfo.output_height);
    job->components = job->cinfo.output_components;
    const size_t stride = size_t(job->width) * size_t(job->components);
    job->pixels = static_cast<unsigned char*>(std::malloc(stride * size_t(job->height)));
    if (!job->pixels) {
        job->tooLarge = true;
        jpeg_destroy_decompress(&job->cinfo);
        return;
    }
    while (job->cinfo.output_scanline < job->cinfo.output_height) {
        JSAMPROW row = job->pixels + stride * job->cinfo.output_scanline;
        if (jpeg_read_scanlines(&job->cinfo, &row, 1) != 1)
            break;
    }
    jpeg_finish_decompress(&job->cinfo);
    jpeg_destroy_decompress(&job->cinfo);
}

// The decoded pixels as an image of its own.
QImage jpegImage(const JpegJob& job)
{
    QImage image(job.width, job.height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const size_t stride = size_t(job.width) * size_t(job.components);
    for (int y = 0; y < job.height; ++y) {
        const unsigned char* in = job.pixels + stride * size_t(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < job.width; ++x, in += job.components) {
            if (job.cmyk) {
                // Photo programs write CMYK JPEGs with inverted values (Adobe).
                const int k = in[3];
                out[x] = qRgb(in[0] * k / 255, in[1] * k / 255, in[2] * k / 255);
            } else {
                out[x] = qRgb(in[0], in[1], in[2]);
            }
        }
    }
    return image;
}

bool isJpeg(const QByteArray& data)
{
    return data.size() >= 3 && uchar(data[0]) == 0xFF && uchar(data[1]) == 0xD8 &&
           uchar(data[2]) == 0xFF;
}

Photo::Status decodeJpegData(const QByteArray& data, const QSize& box, Photo& photo)
{
    auto job = std::make_unique<JpegJob>();
    job->data = reinterpret_cast<const unsigned char*>(data.constData());
    job->size = static_cast<unsigned long>(data.size());
    job->boxWidth = box.width();
    job->boxHeight = box.height();
    decodeJpeg(job.get());
    if (job->fullWidth > 0 && job->fullHeight > 0)
        photo.originalSize = QSize(job->fullWidth, job->fullHeight);
    Photo::Status status = Photo::Status::Ok;
    if (job->tooLarge)
        status = Photo::Status::TooLarge;
    else if (job->truncated)
        status = Photo::Status::Truncated;
    else if (job->failed)
        status = Photo::Status::NotAPicture;
    if (status == Photo::Status::Ok)
        photo.image = jpegImage(*job);
    std::free(job->pixels);
    if (status == Photo::Status::Ok && photo.image.isNull())
        status = Photo::Status::TooLarge;
    return status;
}

quint32 littleEndian(const QByteArray& data, int at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | uchar(data.at(at + i));
    return v;
}

// Qt's BMP reader shows a file cut short as a picture with an empty lower part; the headers
// tell how long the file should be.
bool isCutBmp(const QByteArray& data)
{
    if (data.size() < 34 || !data.startsWith("BM"))
        return false;
    const qint64 declared = littleEndian(data, 2, 4);
    if (declared > data.size())
        return true;
    const qint64 offset = littleEndian(data, 10, 4);
    const qint64 width = qint32(littleEndian(data, 18, 4));
    const qint64 height = qAbs(qint64(qint32(littleEndian(data, 22, 4))));
    const qint64 bits = littleEndian(data, 28, 2);
    const quint32 compression = littleEndian(data, 30, 4);
    if (compression != 0 || width <= 0 || bits == 0) // packed pixels vary in length
        return false;
    const qint64 stride = ((width * bits + 31) / 32) * 4;
    return offset + stride * height > data.size();
}

Photo::Status decodeOtherData(const QByteArray& data, Photo& photo)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return Photo::Status::NotAPicture;
    const QSize size = reader.size();
    if (size.isValid()) {
        photo.originalSize = size;
        if (qint64(size.width()) * size.height() > 4 * maxDecodedPixels)
            return Photo::Status::TooLarge;
    }
    if (isCutBmp(data))
        return Photo::Status::Truncated;
    QImage image;
    if (!reader.read(&image)) {
        return reader.error() == QImageReader::InvalidDataError && size.isValid()
                   ? Photo::Status::Truncated
                   : Photo::Status::NotAPicture;
    }
    photo.image = image;
    return Photo::Status::Ok;
}

// Cameras store a picture as the sensor saw it and note in its EXIF data how to turn it; the
// card shows it the way up the photographer held the camera, as picture viewers do.
QImageIOHandler::Transformations exifTransformation(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    return reader.canRead() ? reader.transformation() : QImageIOHandler::TransformationNone;
}

QImage transformed(const QImage& image, QImageIOHandler::Transformations t)
{
    if (t == QImageIOHandler::TransformationNone || image.isNull())
        return image;
    if (t == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    QImage out = image.mirrored(t & QImageIOHandler::TransformationMirror,
                                t & QImageIOHandler::TransformationFlip);
    if (t & QImageIOHandler::TransformationRotate90)
        out = out.transformed(QTransform().rotate(90));
    return out;
}

} // namespace

Photo decodePhoto(const QString& path, const QSize& box)
{
    Photo photo;
    photo.path = path;
    if (path.isEmpty())
        return photo;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        photo.status = Photo::Status::Missing;
        return photo;
    }
    const QByteArray data = file.readAll();
    file.close();
    const QSize target = box.isValid() && !box.isEmpty() ? box : defaultBox;
    if (isJpeg(data)) {
        const QImageIOHandler::Transformations turn = exifTransformation(data);
        const bool quarter = turn & QImageIOHandler::TransformationRotate90;
        photo.status = decodeJpegData(data, quarter ? target.transposed() : target, photo);
        photo.image = transformed(photo.image, turn);
        if (quarter)
            photo.originalSize.transpose();
    } else {
        photo.status = decodeOtherData(data, photo);
    }
    if (photo.status != Photo::Status::Ok) {
        photo.image = QImage();
        return photo;
    }
    if (photo.image.width() > target.width() || photo.image.height() > target.height())
        photo.image = photo.image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return photo;
}

QString photoFailureQuestion(const QString& path)
{
    return QStringLiteral("Файл ") + path +
           QStringLiteral(" не найден или не соответствует формату bmp или jpeg. Очистить поле?");
}

// What a loader and its running decodes share. A decode finishing after the loader is gone
// finds it null here; the mutex keeps the loader from going away while a result is posted.
struct PhotoLoader::Shared {
    QMutex mutex;
    PhotoLoader* loader = nullptr;
};

PhotoLoader::PhotoLoader(QObject* parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    qRegisterMetaType<kadrol::Photo>();
    m_shared->loader = this;
}

PhotoLoader::~PhotoLoader()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->loader = nullptr;
}

void PhotoLoader::load(const QString& path, const QSize& box)
{
    const quint64 ticket = ++m_ticket;
    m_busy = true;
    std::shared_ptr<Shared> shared = m_shared;
    QThreadPool::globalInstance()->start([shared, ticket, path, box]() {
        Photo photo = decodePhoto(path, box);
        QMutexLocker lock(&shared->mutex);
        if (PhotoLoader* loader = shared->loader)
            QMetaObject::invokeMethod(
                loader, [loader, ticket, photo]() { loader->deliver(ticket, photo); },
                Qt::QueuedConnection);
    });
}

void PhotoLoader::cancel()
{
    ++m_ticket;
    m_busy = false;
}

void PhotoLoader::deliver(quint64 ticket, const Photo& photo)
{
    if (ticket != m_ticket)
        return; // superseded or cancelled
    m_busy = false;
    Q_EMIT loaded(photo);
}

PhotoBox::PhotoBox(QWidget* parent)
    : QFrame(parent), m_loader(new PhotoLoader(this)),
      m_placeholder(new QLabel(QStringLiteral("Место для фото"), this))
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAccessibleName(QStringLiteral("Фото"));
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_placeholder);
    setMinimumSize(90, 120);
    connect(m_loader, &PhotoLoader::loaded, this, &PhotoBox::onLoaded);
}

QSize PhotoBox::sizeHint() const
{
    return QSize(150, 200);
}

void PhotoBox::showFile(const QString& path)
{
    clear();
    if (path.isEmpty())
        return;
    m_photo.path = path;
    // Decoded for the box at the screen's pixel density, so that it stays sharp there.
    const qreal ratio = devicePixelRatioF();
    m_loader->load(
        path, QSize(qRound(contentsRect().width() * ratio), qRound(contentsRect().height() * ratio))
                  .expandedTo(QSize(150, 200)));
}

void PhotoBox::clear()
{
    m_loader->cancel();
    m_photo = Photo();
    m_shown = QImage();
    m_placeholder->show();
    update();
}

bool PhotoBox::busy() const
{
    return m_loader->busy();
}

void PhotoBox::onLoaded(const Photo& photo)
{
    m_photo = photo;
    m_shown = photo.ok() ? photo.image : QImage();
    m_placeholder->setVisible(m_shown.isNull());
    update();
    Q_EMIT loaded(photo);
}

void PhotoBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (m_shown.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect area = contentsRect();
    QSize size = m_shown.size();
    size.scale(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.x() + (area.width() - size.width()) / 2,
                       area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
    p.drawImage(target, m_shown);
}

} // namespace kadrol
