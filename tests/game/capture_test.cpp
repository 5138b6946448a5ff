// One capture holds everything that decides future frames: at five moments of
// the committed route (the title, the first creature room, a room whose
// Palette shuffles, room 38's speed-up and a death burst) the game runs 600
// frames, is restored, and must run the same 600 frames again, pixel for
// pixel. On the way, a death must freeze the avatar for the burst and bring
// it back at the room's entry. The game runs in this process, headless.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/test_files.h"
#include "core/game_state.h"
#include "game/capture.h"
#include "game/game.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/posix/store.h"
#include "platform/shell.h"

namespace {

const double DT = 1.0 / 60;
const int RUN_FRAMES = 600;

struct FrameTrace {
  int32_t room, x, y, state, counter;
  float respawn;
  uint64_t pixels;  // FNV-1a of the presented frame
  bool operator==(const FrameTrace& o) const {
    return room == o.room && x == o.x && y == o.y && state == o.state && counter == o.counter &&
           respawn == o.respawn && pixels == o.pixels;
  }
};

uint64_t hash_frame(void) {
  int w = 0, h = 0, row = 0;
  const uint32_t* p = headless_last_image(&w, &h, &row);
  uint64_t hash = 1469598103934665603ull;
  for (int y = 0; p && y < h; y++)
    for (int x = 0; x < w; x++) hash = (hash ^ p[(size_t)y * row + x]) * 1099511628211ull;
  return hash;
}

// The route played as vantrel-headless plays it: events due by a frame are
// queued before it and pumped through the shell, then one run_frame.
struct Player {
  std::vector<ScriptEvent> route;
  size_t next = 0;
  long frame = 0;

  void step(std::vector<FrameTrace>* trace) {
    while (next < route.size() && route[next].frame <= frame)
      headless_push_event(route[next].type, route[next].key), next++;
    int exit_code = 0;
    ASSERT_EQ(shell_pump_events(&exit_code), 0) << "the game ended at frame " << frame;
    run_frame((float)DT, 0);
    frame++;
    if (trace)
      trace->push_back(FrameTrace{g_game.room_number, g_game.avatar_x, g_game.avatar_y,
                                  g_game.game_state, g_game.frame_counter, g_game.respawn_timer,
                                  hash_frame()});
  }
  void until(bool (*reached)(void), long limit) {
    while (!reached() && frame < limit && !::testing::Test::HasFatalFailure()) step(nullptr);
    ASSERT_TRUE(reached()) << "not reached by frame " << frame;
  }
  // Runs n frames, restores the moment it began, and runs them again; the
  // extra events (beyond the route) go in before the first frame each time.
  void run_twice(const char* where, const std::vector<ScriptEvent>& extra = {}) {
    static GameCapture capture;
    ASSERT_EQ(game_capture(&capture), 1) << where;
    Player saved = *this;
    std::vector<FrameTrace> first, second;
    for (const ScriptEvent& e : extra) headless_push_event(e.type, e.key);
    for (int i = 0; i < RUN_FRAMES; i++) ASSERT_NO_FATAL_FAILURE(step(&first)) << where;
    Player after = *this;
    game_restore(&capture);
    *this = saved;
    for (const ScriptEvent& e : extra) headless_push_event(e.type, e.key);
    for (int i = 0; i < RUN_FRAMES; i++) ASSERT_NO_FATAL_FAILURE(step(&second)) << where;
    ASSERT_EQ(frame, after.frame);
    for (int i = 0; i < RUN_FRAMES; i++) ASSERT_TRUE(first[i] == second[i]) << where << ", frame " << i;
  }
};

bool in_first_creature_room(void) {
  if (g_game.game_state != 0 || !g_game.room) return false;
  for (const Creature& c : g_game.creature_table)
    if (c.room == g_game.room_number) return true;
  return false;
}
bool in_room_4(void) { return g_game.room_number == 4; }
bool in_room_30(void) { return g_game.room_number == 30; }
bool midway_in_room_38(void) { return g_game.room_number == 38 && g_game.avatar_x > 380; }
bool dying(void) { return g_game.respawn_timer > 0.5f; }

TEST(GameCapture, FiveMomentsOfTheRouteReplayAlikeAfterRestore) {
  std::string dir = test_temp_dir("vantrel_capture");
  store_set_base_dir(dir.c_str());
  std::string data(PACKED_DAT);
  ASSERT_EQ(chdir(data.substr(0, data.rfind('/')).c_str()), 0);
  std::vector<uint8_t> text = test_read_bytes(ROUTE);
  ASSERT_FALSE(text.empty());
  Player p;
  char error[256];
  ASSERT_TRUE(script_parse_bytes((const char*)text.data(), (int)text.size(), &p.route, error,
                                 sizeof error))
      << error;
  ShellLoop loop = {};
  headless_set_time(0);
  char line[] = "-sound";
  ASSERT_TRUE(shell_start(line, &loop));

  p.run_twice("the title");

  // Room 4's streams kill whoever just walks right; the burst is captured
  // under way, then the route goes on from the room's entry.
  p.until(in_room_4, 20000);
  static GameCapture entry;
  ASSERT_EQ(game_capture(&entry), 1);
  Player at_entry = p;
  const int right = script_key_code("RIGHT");
  headless_push_event(PLATFORM_EVENT_KEY_DOWN, right);
  Player deviating = p;
  deviating.route.clear();
  deviating.until(dying, p.frame + 900);
  // Death freezes the avatar through the 1.5 s burst, then brings it back
  // where it entered the room.
  static GameCapture at_death;
  ASSERT_EQ(game_capture(&at_death), 1);
  Player burst = deviating;
  const int dead_x = g_game.avatar_x, dead_y = g_game.avatar_y;
  while (g_game.respawn_timer > 0.0f && burst.frame < deviating.frame + 200) {
    ASSERT_EQ(g_game.avatar_x, dead_x);
    ASSERT_EQ(g_game.avatar_y, dead_y);
    burst.step(nullptr);
  }
  EXPECT_NEAR(burst.frame - deviating.frame, 90, 1);
  EXPECT_EQ(g_game.avatar_x, g_game.checkpoint.avatar_x);
  EXPECT_EQ(g_game.avatar_y, g_game.checkpoint.avatar_y);
  game_restore(&at_death);
  deviating.run_twice("a death burst", {ScriptEvent{0, PLATFORM_EVENT_KEY_DOWN, right}});
  // The held keys are game state: the restore lets Right go again unless the
  // route held it.
  game_restore(&entry);
  p = at_entry;

  p.until(in_first_creature_room, 20000);
  p.run_twice("the first creature room");

  p.until(in_room_30, 20000);
  p.run_twice("room 30 (the Palette shuffles)");
  // Room 38 runs the noise faster the further right the avatar stands; the
  // route would leave it (and end the game) within 600 frames, so the avatar
  // stops halfway across.
  p.until(midway_in_room_38, 20000);
  p.route.clear();
  std::vector<ScriptEvent> let_go;
  for (const char* key : {"RIGHT", "LEFT", "UP", "SPACE"})
    let_go.push_back(ScriptEvent{0, PLATFORM_EVENT_KEY_UP, script_key_code(key)});
  p.run_twice("room 38 (the speed-up)", let_go);
  test_remove_dir(dir);
}

}  // namespace
