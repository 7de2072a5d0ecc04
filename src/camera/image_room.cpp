#include "camera/image_room.h"

#include <new>

namespace morvex {

bool ImageRoom::Make(bool* images_missing) {
  Destroy();
  for (auto* image : {&raw8_, &raw16_, &colour24_, &colour32_, &colour48_, &colour64_, &work_, &preview_})
    image->reset(new (std::nothrow) imaging::CDibImage);
  mask_.reset(new (std::nothrow) imaging::MaskData);
  *images_missing = !raw8_ || !raw16_ || !colour24_ || !colour32_ || !colour48_ || !colour64_ || !work_ ||
                    !preview_ || !mask_;
  // Dark references read 0, white ones full scale; no defect is marked.
  if (*images_missing || !mask_->valid()) return false;
  ready_ = true;
  return true;
}

void ImageRoom::Destroy() {
  for (auto* image : {&raw8_, &raw16_, &colour24_, &colour32_, &colour48_, &colour64_, &work_, &preview_})
    image->reset();
  mask_.reset();
  ready_ = false;
}

imaging::FrameImages ImageRoom::set() const {
  imaging::FrameImages set;
  set.raw8 = raw8_.get();
  set.raw16 = raw16_.get();
  set.colour24 = colour24_.get();
  set.colour32 = colour32_.get();
  set.colour48 = colour48_.get();
  set.colour64 = colour64_.get();
  set.work = work_.get();
  return set;
}

}  // namespace morvex
