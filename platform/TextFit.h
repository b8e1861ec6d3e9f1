#pragma once

class QWidget;

namespace Platform {

// The forms place their controls at fixed sizes, measured for narrower fonts than the ones this
// machine may have. A label, check box or option button whose caption does not fit grows into
// free room beside it; where a neighbour is in the way, its font shrinks until the caption fits.
// Positions stay where the form put them.
void fitTexts(QWidget* form);

} // namespace Platform
