#include "platform/ui/drawing/UIFont.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QFontMetricsF>

#include "platform/ui/host/QtApplication.h"

namespace hx {

namespace {
constexpr const char* kSystemFamily = "DejaVu Sans";
// Text is measured at this many pixels per point so that widths keep their fractions.
constexpr double kMeasureScale = 8;
}  // namespace

UIFont::UIFont(std::string family, double size, bool bold)
    : family_(std::move(family)), pointSize_(size > 0 ? size : 17), bold_(bold) {}

UIFont UIFont::systemFontOfSize(double size) {
    return UIFont(kSystemFamily, size, false);
}

UIFont UIFont::boldSystemFontOfSize(double size) {
    return UIFont(kSystemFamily, size, true);
}

UIFont UIFont::fontWithName(const std::string& name, double size) {
    return UIFont(name.empty() ? kSystemFamily : name, size, false);
}

UIFont UIFont::fontWithSize(double size) const {
    return UIFont(family_, size, bold_);
}

QFont UIFont::qfont(double scale) const {
    QFont font(QString::fromStdString(family_));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pointSize_ * scale))));
    font.setBold(bold_);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

CGSize UIFont::sizeOfText(const std::string& text) const {
    ui::ensureQtApplication();
    QFontMetricsF metrics(qfont(kMeasureScale));
    return {metrics.horizontalAdvance(QString::fromStdString(text)) / kMeasureScale,
            metrics.height() / kMeasureScale};
}

double UIFont::lineHeight() const {
    ui::ensureQtApplication();
    return QFontMetricsF(qfont(kMeasureScale)).height() / kMeasureScale;
}

}  // namespace hx
