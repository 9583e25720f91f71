#include "core/ui/DialogLayout.h"

#include <gtest/gtest.h>

namespace {

using kestlib::LayoutRect;

constexpr LayoutRect kOld{0, 0, 400, 300};
constexpr LayoutRect kNew{0, 0, 500, 360};  // 100 wider, 60 higher
constexpr LayoutRect kControl{20, 30, 120, 50};

LayoutRect Arrange(std::uint32_t flags) { return kestlib::ArrangeAnchored(kControl, flags, kOld, kNew); }

TEST(ArrangeAnchored, LeftAndRightAnchorsStretchByTheGainedWidth) {
  const LayoutRect r = Arrange(kestlib::AnchorLeft | kestlib::AnchorRight | kestlib::AnchorTop);
  EXPECT_EQ(r, (LayoutRect{20, 30, 220, 50}));
}

TEST(ArrangeAnchored, RightAndBottomAnchorsMoveByTheGain) {
  const LayoutRect r = Arrange(kestlib::AnchorRight | kestlib::AnchorBottom);
  EXPECT_EQ(r, (LayoutRect{120, 90, 220, 110}));
}

TEST(ArrangeAnchored, LeftAndTopAnchorsKeepThePlace) {
  EXPECT_EQ(Arrange(kestlib::AnchorLeft | kestlib::AnchorTop), kControl);
}

TEST(ArrangeAnchored, NoAnchorKeepsTheControlCentred) {
  EXPECT_EQ(Arrange(0), (LayoutRect{70, 60, 170, 80}));
  const LayoutRect shrunk = kestlib::ArrangeAnchored(kControl, 0, kNew, kOld);
  EXPECT_EQ(shrunk, (LayoutRect{-30, 0, 70, 20}));
}

TEST(ArrangeAnchored, PinsPutEdgesOnTheClientEdges) {
  const LayoutRect r = Arrange(kestlib::AnchorLeft | kestlib::AnchorTop | kestlib::PinRight | kestlib::PinBottom);
  EXPECT_EQ(r, (LayoutRect{20, 30, 500, 360}));
  const LayoutRect band = Arrange(kestlib::PinLeft | kestlib::PinRight | kestlib::PinTop | kestlib::AnchorTop);
  EXPECT_EQ(band, (LayoutRect{0, 0, 500, 50}));
}

constexpr kestlib::ColorValue Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

TEST(SeparatorColor, LightSchemeGetsAGreyDarkerThanTheFooter) {
  // White content over the light grey button face of current Windows.
  EXPECT_EQ(kestlib::SeparatorColor(Rgb(255, 255, 255), Rgb(240, 240, 240)), Rgb(220, 220, 220));
}

TEST(SeparatorColor, DarkSchemeGetsAShadeLighterThanBoth) {
  EXPECT_EQ(kestlib::SeparatorColor(Rgb(32, 32, 32), Rgb(45, 45, 45)), Rgb(68, 68, 68));
}

TEST(SeparatorColor, ClearlyDifferentColoursUseTheContentColour) {
  // High contrast: black content over a bright footer.
  EXPECT_EQ(kestlib::SeparatorColor(Rgb(0, 0, 0), Rgb(255, 255, 255)), Rgb(0, 0, 0));
  EXPECT_EQ(kestlib::SeparatorColor(Rgb(255, 255, 255), Rgb(0, 120, 215)), Rgb(255, 255, 255));
}

TEST(SeparatorColor, KeepsTheHueOfTheContentColour) {
  // A pale blue content over a slightly darker blue footer.
  const kestlib::ColorValue line = kestlib::SeparatorColor(Rgb(230, 240, 255), Rgb(215, 228, 250));
  const unsigned r = line & 0xFF, g = (line >> 8) & 0xFF, b = (line >> 16) & 0xFF;
  EXPECT_LT(r, g);
  EXPECT_LT(g, b);
  EXPECT_LT(b, 250u);
}

}  // namespace
