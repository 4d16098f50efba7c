#include "app/main_view.h"

#include <array>

namespace qm::app {
namespace {

struct ControlNaming {
  Control First;
  const char* Name;
  int Rows;  // 0 for a single control
};

// Each array's first row, with its name and row count; the hint labels skip index 4.
constexpr std::array<ControlNaming, 21> kNames = {{
    {Control::cmdRun, "cmdRun", 0},
    {Control::cmdQuit, "cmdQuit", 0},
    {Control::mnuExit, "mnuExit", 0},
    {Control::mnuWaitTime, "mnuWaitTime", 0},
    {Control::cmdBrowse0, "cmdBrowse", 3},
    {Control::cmdFiles0, "cmdFiles", 3},
    {Control::cmdReprocess, "cmdReprocess", 0},
    {Control::cmdClearOutput, "cmdClearOutput", 0},
    {Control::lbllblFolder0, "lbllblFolder", 3},
    {Control::lblFolder0, "lblFolder", 3},
    {Control::optUseArchive0, "optUseArchive", 2},
    {Control::optAccents0, "optAccents", 3},
    {Control::chkAutomatic, "chkAutomatic", 0},
    {Control::chkSynchronizeXMP, "chkSynchronizeXMP", 0},
    {Control::chkRemoveXMP, "chkRemoveXMP", 0},
    {Control::lblMaxAttente, "lblMaxAttente", 0},
    {Control::lblBulle0, "lblBulle", 4},
    {Control::lblBulle5, "lblBulle(5)", 0},
    {Control::LineBulle0, "LineBulle", 6},
    {Control::txtXMP0, "txtXMP", 2},
    {Control::lblLentxtXMP0, "lblLentxtXMP", 2},
}};

}  // namespace

std::string ControlName(Control control) {
  const int value = static_cast<int>(control);
  for (const ControlNaming& naming : kNames) {
    if (naming.Name == nullptr) break;
    const int first = static_cast<int>(naming.First);
    if (naming.Rows == 0 && value == first) return naming.Name;
    if (naming.Rows > 0 && value >= first && value < first + naming.Rows) {
      return std::string(naming.Name) + "(" + std::to_string(value - first) + ")";
    }
  }
  return "?";
}

}  // namespace qm::app
