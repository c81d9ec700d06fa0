#pragma once
// The progress gauge: our own window class that answers the standard
// progress-bar messages (so the host can drive it) and draws a navy bar on
// black with the percentage in blue.
#include <windows.h>

namespace kovra::win {

inline constexpr wchar_t kGaugeClass[] = L"KovraGauge";

void RegisterGaugeClass(HINSTANCE instance);
void UnregisterGaugeClass(HINSTANCE instance);

// "37%": the percentage as a whole number, as the gauge shows it.
int GaugePercent(int position, int maximum);

}  // namespace kovra::win
