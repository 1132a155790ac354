#include "ui/icons.h"

#include "platform/datadirs.h"
#include "ui/theme.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

#include <cstring>
#include <memory>

namespace mendral::icons {

namespace {

struct Entry {
    const char *symbol;
    const char *file;
};

// The one table: interface symbol name → Bootstrap Icons drawing.
constexpr Entry kTable[] = {
    {"chevron.left", "chevron-left"},
    {"chevron.right", "chevron-right"},
    {"checkmark", "check-lg"},
    {"checkmark.circle", "check-circle"},
    {"checkmark.circle.fill", "check-circle-fill"},
    {"checkmark.seal", "patch-check"},
    {"checkmark.seal.fill", "patch-check-fill"},
    {"minus", "dash-lg"},
    {"minus.circle", "dash-circle"},
    {"questionmark.circle", "question-circle"},
    {"tray", "inbox"},
    {"square.grid.2x2", "grid"},
    {"photo", "image"},
    {"photo.on.rectangle", "image"},
    {"photo.stack", "images"},
    {"square.stack.3d.down.right", "layers"},
    {"slider.horizontal.3", "sliders"},
    {"square.and.arrow.up", "box-arrow-up"},
    {"square.and.arrow.up.on.square", "upload"},
    {"arrow.up.forward.app", "box-arrow-up-right"},
    {"arrow.triangle.2.circlepath", "arrow-repeat"},
    {"magnifyingglass", "search"},
    {"face.dashed", "person-bounding-box"},
    {"folder", "folder"},
    {"rectangle.split.1x2", "grid-1x2"},
    {"rectangle.split.1x2.fill", "grid-1x2-fill"},
    {"arrow.up.left.and.arrow.down.right", "arrows-angle-expand"},
    {"arrow.down.right.and.arrow.up.left", "arrows-angle-contract"},
    {"exclamationmark.triangle", "exclamation-triangle"},
    {"eye.slash", "eye-slash"},
    {"star.fill", "star-fill"},
};

// Parsed drawings, kept for the life of the program (the interface asks for the same few
// symbols over and over). Used from the main thread only.
QSvgRenderer *renderer(const char *symbolName)
{
    static QHash<QString, std::shared_ptr<QSvgRenderer>> loaded;
    const QString key = QString::fromLatin1(symbolName);
    auto it = loaded.find(key);
    if (it == loaded.end()) {
        std::shared_ptr<QSvgRenderer> r;
        const QString path = svgPath(symbolName);
        if (!path.isEmpty()) {
            r = std::make_shared<QSvgRenderer>(path);
            if (!r->isValid())
                r.reset();
        }
        it = loaded.insert(key, r);
    }
    return it->get();
}

QImage render(const char *symbolName, QSize pixelSize, const QColor &color)
{
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer *r = renderer(symbolName);
    if (!r || pixelSize.isEmpty())
        return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Keep the drawing's proportions, centred in the square.
    QSizeF drawn = r->defaultSize().isEmpty() ? QSizeF(16, 16) : QSizeF(r->defaultSize());
    drawn.scale(QSizeF(pixelSize), Qt::KeepAspectRatio);
    const QRectF target((pixelSize.width() - drawn.width()) / 2,
                        (pixelSize.height() - drawn.height()) / 2, drawn.width(), drawn.height());
    r->render(&p, target);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(image.rect(), color);
    return image;
}

class TintedEngine : public QIconEngine {
public:
    TintedEngine(QByteArray symbol, QColor color) : m_symbol(std::move(symbol)), m_color(color) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QImage image = render(m_symbol.constData(), rect.size() * dpr, colorFor(mode));
        image.setDevicePixelRatio(dpr);
        painter->drawImage(rect, image);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        return QPixmap::fromImage(render(m_symbol.constData(), size, colorFor(mode)));
    }

    QIconEngine *clone() const override { return new TintedEngine(m_symbol, m_color); }

    QString key() const override { return QStringLiteral("mendral-tinted"); }

    bool isNull() override { return renderer(m_symbol.constData()) == nullptr; }

private:
    QColor colorFor(QIcon::Mode mode) const
    {
        if (mode == QIcon::Disabled)
            return theme::withAlpha(m_color, 0.35);
        if (mode == QIcon::Selected)
            return QGuiApplication::palette().color(QPalette::HighlightedText);
        return m_color;
    }

    QByteArray m_symbol;
    QColor m_color;
};

} // namespace

const char *fileFor(const char *symbolName)
{
    if (!symbolName)
        return nullptr;
    for (const Entry &e : kTable)
        if (std::strcmp(e.symbol, symbolName) == 0)
            return e.file;
    return nullptr;
}

std::vector<const char *> symbolNames()
{
    std::vector<const char *> names;
    for (const Entry &e : kTable)
        names.push_back(e.symbol);
    return names;
}

QString directory()
{
    return findDataDirectory("MENDRAL_ICONS", QStringLiteral("icons"), {QStringLiteral("chevron-left.svg")});
}

QString svgPath(const char *symbolName)
{
    const char *file = fileFor(symbolName);
    if (!file)
        return QString();
    const QString path = directory() + QLatin1Char('/') + QLatin1String(file) + QStringLiteral(".svg");
    return QFileInfo::exists(path) ? path : QString();
}

QIcon icon(const char *symbolName, const QColor &color)
{
    return QIcon(new TintedEngine(QByteArray(symbolName ? symbolName : ""), color));
}

QIcon icon(const char *symbolName)
{
    return icon(symbolName, theme::primary());
}

QPixmap pixmap(const char *symbolName, int size, const QColor &color, qreal devicePixelRatio)
{
    const int pixels = std::max(1, int(size * devicePixelRatio + 0.5));
    QPixmap pm = QPixmap::fromImage(render(symbolName, QSize(pixels, pixels), color));
    pm.setDevicePixelRatio(devicePixelRatio);
    return pm;
}

} // namespace mendral::icons
