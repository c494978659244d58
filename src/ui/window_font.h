#pragma once

#include <QFont>

namespace velmora {

// The window's font: "宋体" with characters 12 pixels high. Where that family
// is missing, the first installed Song-style face that holds Chinese, then any
// installed face that does, so no caption ever shows as boxes.
QFont WindowFont();

}  // namespace velmora
