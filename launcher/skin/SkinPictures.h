// Resource IDs (type "AJPEG") and shipped sizes of the skin pictures.
#pragma once

namespace SkinPictures {

constexpr int kMainBackground = 132;
constexpr int kSmallBackground = 160;
constexpr int kSmallProgressBar = 161;
constexpr int kSubProgressBar = 144;
constexpr int kProgressBar = 135;
constexpr int kBrowserPlaceholder = 179;
constexpr int kBanner = 151;

// Buttons: normal, over, down, disabled (0 = none).
struct ButtonPictures {
  int normal;
  int over;
  int down;
  int disabled;
};

constexpr ButtonPictures kSmallCloseButton = {180, 183, 182, 181};
constexpr ButtonPictures kMainCloseButton = {137, 139, 138, 152};
constexpr ButtonPictures kMinimizeButton = {140, 142, 141, 0};
constexpr ButtonPictures kGovernmentButton = {176, 178, 177, 0};
constexpr ButtonPictures kBbsButton = {167, 169, 168, 0};
constexpr ButtonPictures kChargeButton = {170, 172, 171, 0};
constexpr ButtonPictures kCustomServiceButton = {173, 175, 174, 0};

struct ShippedPicture {
  int id;
  int width;
  int height;
};

constexpr ShippedPicture kShipped[] = {
    {132, 1069, 612}, {160, 352, 245}, {161, 201, 3}, {144, 567, 9}, {135, 567, 9},
    {179, 130, 49},   {151, 408, 80},  {180, 26, 26}, {183, 26, 26}, {182, 26, 26},
    {181, 26, 26},    {137, 30, 30},   {139, 30, 30}, {138, 30, 30}, {152, 29, 30},
    {140, 30, 30},    {142, 30, 30},   {141, 30, 30}, {176, 97, 50}, {178, 97, 50},
    {177, 97, 50},    {167, 97, 50},   {169, 97, 50}, {168, 97, 50}, {170, 97, 50},
    {172, 97, 50},    {171, 97, 50},   {173, 97, 50}, {175, 97, 50}, {174, 97, 50},
};

}  // namespace SkinPictures
