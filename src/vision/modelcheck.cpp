#include "vision/modelcheck.h"

#include "vision/faceshape.h"
#include "vision/neural.h"

#include <QFileInfo>

namespace mendral::models {

QStringList missing()
{
    QStringList lines = neural::modelProblems();
    if (!faceShapeModelAvailable()) {
        const QString path = faceShapeModelPath();
        lines << (QFileInfo::exists(path) ? QStringLiteral("人脸关键点模型 ") + path + QStringLiteral(" 无法载入")
                                          : QStringLiteral("缺少人脸关键点模型 ") + path);
    }
    return lines;
}

QString notice(const QStringList &missing)
{
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("识别模型不全：") + missing.join(QStringLiteral("；")) +
           QStringLiteral("。缺了它们，相似的画面、同一批人和闭眼都认不准，分组和推荐会变差。"
                          "请运行 scripts/setup 安装模型，再重新导入。");
}

} // namespace mendral::models
