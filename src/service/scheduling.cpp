#include "app/form_hardcopy.h"

namespace hc::app {

void Form_HardCopy::cbo_Freq_HardCopy_Click()
{
}

} // namespace hc::app
