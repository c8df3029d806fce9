#include "window/icons.h"

#include <QString>
#include <array>
#include <cmath>

#include "core/units/errors.h"

// The resources live in the static kestro_window library, whose object file for them would be
// dropped by the linker since nothing names it; registering them here keeps them in.
static void RegisterKestroResources() {
    Q_INIT_RESOURCE(kestro);
}

namespace kestro {

namespace {

// Registers the compiled-in resources once, before the first image is loaded.
void EnsureResources() {
    static const bool registered = [] {
        RegisterKestroResources();
        return true;
    }();
    (void)registered;
}

// Pixel sizes of the application icon's images; the small ones have their own simpler drawing.
constexpr std::array<int, 7> ApplicationIconSizes = {16, 24, 32, 48, 64, 128, 256};
static_assert(ApplicationIconSizes.size() == 7);

// File names of the 16 x 16 action icons by their position in the list; positions no action
// uses have none.
constexpr std::array<const char*, 7> ActionIconNames = {"help",  "about",       nullptr, nullptr,
                                                        nullptr, "save-points", "learn"};
static_assert(ActionIconNames.size() == 7);

// An icon from a 1x image and its "@2x" twin of double size under :/kestro/actions/.
QIcon IconWithDoubleSize(const QString& name, int width, int height) {
    EnsureResources();
    QIcon icon;
    const QString base = QStringLiteral(":/kestro/actions/") + name;
    icon.addFile(base + QStringLiteral(".png"), QSize(width, height));
    icon.addFile(base + QStringLiteral("@2x.png"), QSize(2 * width, 2 * height));
    return icon;
}

// The logo `name` for a logical size of width x height at `devicePixelRatio`: the 1x or "@2x"
// image as drawn when the ratio is 1 or 2, otherwise the nearer one scaled smoothly, so the
// logical size stays the same and the picture is as sharp as the screen allows.
QPixmap Logo(const QString& name, int width, int height, qreal devicePixelRatio) {
    EnsureResources();
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QString base = QStringLiteral(":/kestro/logos/") + name;
    QPixmap pixmap(ratio > 1.0 ? base + QStringLiteral("@2x.png") : base + QStringLiteral(".png"));
    KESTRO_ASSERT(!pixmap.isNull());
    const QSize target(static_cast<int>(std::lround(static_cast<double>(width) * ratio)),
                       static_cast<int>(std::lround(static_cast<double>(height) * ratio)));
    if (pixmap.size() != target)
        pixmap = pixmap.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

}  // namespace

QIcon ApplicationIcon() {
    EnsureResources();
    QIcon icon;
    for (int size : ApplicationIconSizes)
        icon.addFile(QStringLiteral(":/kestro/app/kestro-%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon ActionIcon(int index) {
    KESTRO_ASSERT(index >= 0 && index < static_cast<int>(ActionIconNames.size()));
    const char* name = ActionIconNames[static_cast<size_t>(index)];
    KESTRO_ASSERT(name != nullptr);
    return IconWithDoubleSize(QString::fromLatin1(name), 16, 16);
}

QIcon ActionIcon(std::string_view name) {
    bool known = false;
    for (const char* entry : ActionIconNames)
        known = known || (entry != nullptr && name == entry);
    KESTRO_ASSERT(known);
    return IconWithDoubleSize(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                              16, 16);
}

QIcon LearnModeArrow() {
    return IconWithDoubleSize(QStringLiteral("learn-mode-arrow"), 7, 4);
}

QPixmap ProductLogo(qreal devicePixelRatio) {
    return Logo(QStringLiteral("product-logo"), 90, 90, devicePixelRatio);
}

QPixmap ProductLogoWide(qreal devicePixelRatio) {
    return Logo(QStringLiteral("product-logo-wide"), 119, 42, devicePixelRatio);
}

QPixmap MakerLogo(qreal devicePixelRatio) {
    return Logo(QStringLiteral("maker-logo"), 120, 50, devicePixelRatio);
}

}  // namespace kestro
