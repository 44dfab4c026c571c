#include "window_font.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QStringList>

#include "app/control_table.hpp"
#include "qt_text.hpp"

namespace corvalis::qt {
namespace {

// The layout is in pixels at 96 dpi, so the font is sized in the same pixels and scales with it.
constexpr double kLayoutDpi = 96.0;
constexpr double kPointsPerInch = 72.0;

QStringList tahomaFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"),
            QStringLiteral("/usr/share/wine/fonts"), QStringLiteral("/usr/lib/wine/fonts"),
            QStringLiteral("/opt/wine-stable/share/wine/fonts")};
}

}  // namespace

void loadTahoma() {
    const QString family = toQString(app::kFont.family);
    if (QFontDatabase::families().contains(family)) {
        return;
    }
    for (const QString& folder : tahomaFolders()) {
        const QDir dir(folder);
        const QString bold = dir.filePath(QStringLiteral("tahomabd.ttf"));
        if (QFile::exists(bold)) {
            QFontDatabase::addApplicationFont(bold);
            return;
        }
    }
}

QFont windowFont() {
    QFont font;
    // Condensed faces come next: a regular-width sans-serif bold overruns the narrower labels.
    font.setFamilies({toQString(app::kFont.family), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qRound(app::kFont.pointSize * kLayoutDpi / kPointsPerInch));
    font.setBold(app::kFont.bold);
    return font;
}

}  // namespace corvalis::qt
