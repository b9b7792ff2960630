// A ledger of the test program's GDI objects. Windows refuses to delete an
// object that is still selected into a device context, and a stock object
// must never be deleted; Wine forgives both, so the tests would never see
// either. Installed at start, the ledger redirects the program's own imports
// of the GDI calls that make, select, delete and give back objects and
// contexts, counts what is still alive, and notes every rule broken, naming
// the test case it happened in.
// A font deleted while a window still draws with it (WM_SETFONT) is noted too.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace GdiLedger {

// Redirects the imports; call once, before any window or object is made.
void Install();
// Names the test case that the following calls belong to.
void SetContext(const std::string& testCase);
// GDI objects made through the program's imports and not yet deleted, with the
// memory contexts not yet deleted and the window contexts not yet released.
int LiveObjects();
// One line per rule broken so far.
std::vector<std::string> Breaches();

}  // namespace GdiLedger

// Runs cycle once to fill the caches, then `times` more; gives how many more
// GDI objects are alive after those than before them.
int GdiGrowthOver(int times, const std::function<void()>& cycle);
