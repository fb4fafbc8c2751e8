// The candidate card's photo and CV file ("стр.1"): files beside the program, of which the
// candidate's record keeps only the names.
#include "reserv.h"

#include "guard.h"
#include "messages.h"
#include "pdm.h"
#include "shellservices.h"

#include "reservfiles.h"
#include "reservphoto.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace kadrol {

namespace {

QString folderPath(const char* folder)
{
    return QDir(DM->programDir()).filePath(QString::fromLatin1(folder));
}

QString photoPath(const QString& stored)
{
    return kadrol::photoPath(DM->programDir(), stored);
}

QString cvPath(const QString& stored)
{
    return kadrol::cvPath(DM->programDir(), stored);
}

QString cvStoredName(const QString& chosen)
{
    return storedCvName(DM->ProgramFolder, chosen);
}

QString failureQuestion(const QString& path)
{
    return QStringLiteral("Файл ") + path +
           QStringLiteral(" не найден или не соответствует формату bmp или jpeg. Очистить поле?");
}

} // namespace

QWidget* TFres::buildPhotoArea()
{
    auto* area = new QWidget(this);
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    m_photoPlace = new QLabel(QStringLiteral("Место для фото"), area);
    m_photoPlace->setFrameShape(QFrame::Box);
    m_photoPlace->setAlignment(Qt::AlignCenter);
    m_photoPlace->setMinimumSize(150, 190);
    m_photoPlace->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_photoPlace->setAccessibleName(QStringLiteral("Фотография"));
    m_photo = m_photoPlace;
    column->addWidget(m_photoPlace, 1);
    auto* buttons = new QHBoxLayout;
    QPushButton* foto = makeButton(QStringLiteral("Фото"), QStringLiteral("Выбрать фотографию"));
    QToolButton* clear = makeToolButton(QStringLiteral("✕"), QStringLiteral("Очистить"));
    clear->setAccessibleName(QStringLiteral("Очистить фото"));
    clear->setToolTip(QStringLiteral("Очистить"));
    buttons->addWidget(foto, 1);
    buttons->addWidget(clear);
    column->addLayout(buttons);
    widgets::onSignal(foto, &QPushButton::clicked, this, [this]() { BfotoClick(); });
    auto* loader = new PhotoLoader(this);
    m_photoLoader = loader;
    connect(loader, &PhotoLoader::loaded, this, [this](const Photo& photo) {
        if (isVisible())
            photoResult(photo.image, photo.path);
    });
    widgets::onSignal(clear, &QToolButton::clicked, this, [this]() { clearPhoto(); });
    return area;
}

QWidget* TFres::buildCvLine()
{
    auto* line = new QWidget(this);
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    m_cv = new QLineEdit(line);
    m_cv->setReadOnly(true); // chosen, never typed
    m_cv->setAccessibleName(QStringLiteral("Файл резюме"));
    QPalette p = m_cv->palette();
    p.setColor(QPalette::Base, QColor(255, 255, 225));
    m_cv->setPalette(p);
    m_cvBrowse = makeToolButton(QStringLiteral("…"), QStringLiteral("Выбрать файл резюме"));
    m_cvClear = makeToolButton(QStringLiteral("✕"), QStringLiteral("Очистить"));
    m_cvClear->setAccessibleName(QStringLiteral("Очистить резюме"));
    QToolButton* view = makeToolButton(QStringLiteral("CV"), QStringLiteral("Просмотр CV"));
    view->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_cvBrowse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    row->addWidget(m_cv, 1);
    row->addWidget(m_cvBrowse);
    row->addWidget(m_cvClear);
    row->addWidget(view);
    widgets::onSignal(m_cvBrowse, &QToolButton::clicked, this, [this]() { browseCv(); });
    widgets::onSignal(m_cvClear, &QToolButton::clicked, this, [this]() { clearCv(); });
    widgets::onSignal(view, &QToolButton::clicked, this, [this]() { viewCv(); });
    return line;
}

// Sets Foto or Cv: saved with the card in edit mode, stored at once in view mode.
void TFres::setStoredName(const QString& field, const QString& value)
{
    kdb::Table& r = DM->Reserv;
    const bool postNow = !r.isEditing();
    if (postNow)
        r.edit();
    if (value.isEmpty())
        r.fieldByName(field).clear();
    else
        r.fieldByName(field).setValue(value);
    if (postNow) {
        r.post();
        DM->Dtb.flush();
    }
}

// --- the photo ----------------------------------------------------------------------------------

void TFres::emptyPhoto()
{
    static_cast<PhotoLoader*>(m_photoLoader)->cancel();
    m_photo->clear();
    m_photo->setText(QStringLiteral("Место для фото"));
}

// Starts reading the picture; photoResult shows it or asks about the stored name. A large JPEG
// is decoded scaled, away from the window's thread, so the card stays responsive.
void TFres::loadPhoto(const QString& path)
{
    static_cast<PhotoLoader*>(m_photoLoader)->load(path, m_photo->size());
}

void TFres::photoResult(const QImage& image, const QString& path)
{
    if (!image.isNull()) {
        m_photo->setPixmap(QPixmap::fromImage(image).scaled(m_photo->size(), Qt::KeepAspectRatio,
                                                            Qt::SmoothTransformation));
        return;
    }
    if (widgets::confirm(failureQuestion(path), this))
        widgets::guarded([this]() { setStoredName(QStringLiteral("Foto"), QString()); }, this);
}

void TFres::showPhoto()
{
    emptyPhoto();
    const QString stored = DM->Reserv.fieldByName(QStringLiteral("Foto")).asString();
    if (!stored.isEmpty())
        loadPhoto(photoPath(stored));
}

void TFres::BfotoClick()
{
    const QString stored = DM->Reserv.fieldByName(QStringLiteral("Foto")).asString();
    QFileDialog dialog(this, QStringLiteral("Фотография сотрудника"), folderPath("Foto"));
    dialog.setObjectName(QStringLiteral("FotoDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("All (*.jpg *.jpeg *.bmp)"),
                           QStringLiteral("JPEG Image File (*.jpeg *.jpg)"),
                           QStringLiteral("Bitmaps (*.bmp)")});
    if (!stored.isEmpty())
        dialog.selectFile(photoPath(stored));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();
    const QString name = QFileInfo(chosen).fileName();
    setStoredName(QStringLiteral("Foto"), name);
    emptyPhoto();
    if (name.isEmpty())
        return;
    if (!QFileInfo::exists(photoPath(name))) {
        widgets::showMessage(QStringLiteral("Файл ") + name +
                                 QStringLiteral(" не найден в каталоге \\FOTO !"),
                             this);
        return;
    }
    loadPhoto(QDir::toNativeSeparators(chosen));
}

void TFres::clearPhoto()
{
    emptyPhoto();
    setStoredName(QStringLiteral("Foto"), QString());
}

// --- the CV -------------------------------------------------------------------------------------

void TFres::showCv()
{
    const QString stored = DM->Reserv.fieldByName(QStringLiteral("Cv")).asString();
    m_cv->setText(stored.isEmpty() ? QString() : cvPath(stored));
    m_cv->setCursorPosition(0);
}

void TFres::browseCv()
{
    QFileDialog dialog(this, QStringLiteral("Файл резюме"), folderPath("CV"));
    dialog.setObjectName(QStringLiteral("CvDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    setStoredName(QStringLiteral("Cv"), cvStoredName(dialog.selectedFiles().constFirst()));
    showCv();
}

void TFres::clearCv()
{
    m_cv->clear();
    setStoredName(QStringLiteral("Cv"), QString());
}

void TFres::viewCv()
{
    const QString stored = DM->Reserv.fieldByName(QStringLiteral("Cv")).asString();
    if (stored.isEmpty())
        return;
    const QString path = cvPath(stored);
    if (!QFileInfo::exists(path)) {
        widgets::showMessage(QStringLiteral("Файл ") + path + QStringLiteral(" не найден!"), this);
        return;
    }
    if (OpenWithShell(path) == ShellNoAssociation)
        widgets::showMessage(
            QStringLiteral("Не определено приложение для данного расширения файла!"), this);
}

} // namespace kadrol
