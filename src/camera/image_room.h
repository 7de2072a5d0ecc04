// The images and masks room: the image set each frame passes through and
// the reference frames and defect maps, whose lock is the mask lock.
#pragma once

#include <memory>

#include "imaging/defect_mask.h"
#include "imaging/dib_image.h"
#include "imaging/frame_pipeline.h"

namespace morvex {

class ImageRoom {
 public:
  // Makes every image and sizes the references; false when an allocation
  // failed, and `images_missing` tells whether it was an image object.
  bool Make(bool* images_missing);
  void Destroy();
  bool ready() const { return ready_; }

  // The named images; null members before Make.
  imaging::FrameImages set() const;
  // Null before Make.
  imaging::MaskData* mask() const { return mask_.get(); }

 private:
  std::unique_ptr<imaging::CDibImage> raw8_, raw16_, colour24_, colour32_, colour48_, colour64_, work_,
      preview_;
  std::unique_ptr<imaging::MaskData> mask_;
  // Set once every image object exists and the references are sized.
  bool ready_ = false;
};

}  // namespace morvex
