// The panel under a Wayland compositor (weston, headless back end), read back from the
// compositor's own scene. Wayland has no tray of the XEmbed kind and no notification host
// runs here, so the panel starts shown.
#include <cstdlib>
#include <regex>
#include <sstream>

#include "DesktopFixture.h"

using namespace corvantest;
using namespace std::chrono_literals;

namespace {

struct tView {
  bool Found = false;
  std::string Description;  // "top-level window '<title>' of <app id>"
  int OpaqueWidth = 0, OpaqueHeight = 0;
};

// The view of process `Pid` in weston's scene graph, as weston-debug prints it:
//   View 0 (role xdg_toplevel, PID 31, surface ID 7, top-level window 'T' of A, 0x...):
//       position: (193, 193) -> (494, 496)
//       [opaque: (196, 223) -> (491, 493)]
tView ViewOf(pid_t Pid) {
  tView view;
  const std::optional<std::string> scene = ToolOutput({"weston-debug", "scene-graph"});
  if (!scene) return view;
  static const std::regex opaque(R"re(\[opaque: \((-?\d+), (-?\d+)\) -> \((-?\d+), (-?\d+)\)\])re");
  std::istringstream lines(*scene);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("View ") != std::string::npos) {
      if (view.Found) break;  // the next view
      const std::string mine = ", PID " + std::to_string(Pid) + ", ";
      const std::size_t at = line.find(mine);
      if (at == std::string::npos || line.find("role xdg_toplevel") == std::string::npos) continue;
      view.Found = true;
      const std::size_t start = line.find(", ", line.find("surface ID", at)) + 2;
      view.Description = line.substr(start, line.rfind(", 0x") - start);
      continue;
    }
    std::smatch m;
    if (view.Found && std::regex_search(line, m, opaque)) {
      view.OpaqueWidth = std::stoi(m[3]) - std::stoi(m[1]);
      view.OpaqueHeight = std::stoi(m[4]) - std::stoi(m[2]);
    }
  }
  return view;
}

}  // namespace

TEST_F(DesktopTest, UnderWaylandThePanelStartsShownWithoutATrayAndEndsWithZero) {
  StartWeston();
  // In the sanitizer run, the allocations that Qt's Wayland client and Mesa keep to the
  // end come from libraries LeakSanitizer's fast unwinder cannot walk (Mesa's driver is
  // unloaded by then): only the full stacks name the libraries its suppressions list.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string asanOptions = asan ? asan : "";
  if (asan) ::setenv("ASAN_OPTIONS", (asanOptions + ":fast_unwind_on_malloc=0").c_str(), 1);
  SimProcess& panel = Launch("wayland");
  if (asan) ::setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
  tView view;
  ASSERT_TRUE(Eventually([&] { return (view = ViewOf(panel.pid())).OpaqueWidth > 0; }))
      << "no window of the panel in the scene: " << panel.err();
  // Its own title and the desktop entry's name, which the desktop finds the icon by.
  EXPECT_EQ(view.Description, "top-level window 'Corvan service settings' of org.corvan.CorvanControl");
  // The window's content at its size; the frame around it is Qt's own on Wayland.
  EXPECT_EQ(view.OpaqueWidth, 295);
  EXPECT_EQ(view.OpaqueHeight, 270);

  EXPECT_EQ(panel.stop(20s), 0) << panel.err();
  EXPECT_TRUE(Eventually([&] { return !ViewOf(panel.pid()).Found; })) << "the window stayed";
}
