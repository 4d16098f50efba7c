#pragma once

namespace qm::inspector {

struct PictureSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const PictureSize&) const = default;
};

/// The thumbnail box below the inspector's list, in pixels (2610 × 1650 twips at 15 twips a pixel).
inline constexpr PictureSize kThumbnailBox = {174, 110};

/// The size a picture is shown at in `box`: its natural size when it fits, otherwise scaled down with its
/// proportions kept until it fits, first to the box's width and then to its height. A side never shrinks
/// below one pixel; a picture without a positive width and height gives {0, 0}.
PictureSize FitThumbnail(PictureSize natural, PictureSize box = kThumbnailBox);

}  // namespace qm::inspector
