#include "image_layer.h"

#include "image_view.h"

namespace qe::ui {

void ImageLayer::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    if (view_) view_->layerChanged(*this);
}

void ImageLayer::changed() {
    if (visible_ && view_) view_->layerChanged(*this);
}

}  // namespace qe::ui
