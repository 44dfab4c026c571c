#include "built_in_picture.hpp"

#include <QFileInfo>
#include <QImageReader>

namespace corvalis::qt {

QPixmap builtInPicture(const QString& file) {
    QImageReader reader(file, QFileInfo(file).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

}  // namespace corvalis::qt
