// The shipped music as the game sees it: "merged_data.txt" split and scanned
// like the music loader does, "merged.ogg" and "qorvel_title_3.ogg" decoded
// with the game's own decoder, and every segment checked where it lies in the
// decoded stream: edges, peaks, loudness, and the playlists built from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "audio/music.h"
#include "common/test_files.h"
#include "music/analysis.h"
#include "music/layout.h"
#include "music/render.h"
#include "music/score.h"
#include "vorbis/vorbis.h"

// playlists.cpp is compiled in for its tables; room selection reports here.
static const int* g_selected_list = nullptr;
static int g_selected_count = 0, g_selected_loop = 0;
void music_set_playlist(const int* list, int count, int loop_index) {
  g_selected_list = list;
  g_selected_count = count;
  g_selected_loop = loop_index;
}

namespace {

const int RATE = 44100;
const float PEAK_LIMIT = 0.891251f;     // -1 dBFS
const float EDGE_LIMIT = 0.0078125f;    // -42 dBFS within EDGE_FRAMES of an edge
const long EDGE_FRAMES = 16;

// The loader's reading: split at CR and LF with empty pieces dropped, five
// integers per piece.
std::vector<TrackRow> read_table_as_game(const std::string& text) {
  std::vector<TrackRow> rows;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string piece = text.substr(pos, end - pos);
    pos = end + 1;
    if (piece.empty()) continue;
    TrackRow r{};
    if (sscanf(piece.c_str(), "%d %d %d %d %d", &r.id, &r.start, &r.length, &r.lead,
               &r.advance) == 5)
      rows.push_back(r);
  }
  return rows;
}

struct Decoded {
  std::vector<float> stereo;  // interleaved, -1..1
  long frames = 0;
  int channels = 0;
};

Decoded decode(const std::string& bytes) {
  Decoded d;
  short* pcm = nullptr;
  int channels = 0;
  int frames = vorbis_decode_all_from_memory((const unsigned char*)bytes.data(), (int)bytes.size(),
                                             &channels, &pcm);
  if (frames <= 0 || !pcm) return d;
  d.frames = frames;
  d.channels = channels;
  if (channels == 2) {
    d.stereo.resize(2 * (size_t)frames);
    for (size_t i = 0; i < d.stereo.size(); i++) d.stereo[i] = pcm[i] / 32768.0f;
  }
  free(pcm);
  return d;
}

struct Music {
  std::string table_text, merged_bytes, title_bytes;
  std::vector<TrackRow> rows;
  Decoded merged, title;
  Score score;
  std::string score_error;
  bool score_ok = false;
};

const Music& music_files() {
  static Music* m = nullptr;
  if (m) return *m;
  m = new Music;
  std::string dir = VANTREL_MUSIC_DIR;
  m->table_text = test_read_file(dir + "/merged_data.txt");
  m->merged_bytes = test_read_file(dir + "/merged.ogg");
  m->title_bytes = test_read_file(dir + "/qorvel_title_3.ogg");
  m->rows = read_table_as_game(m->table_text);
  m->merged = decode(m->merged_bytes);
  m->title = decode(m->title_bytes);
  m->score_ok = score_load(VANTREL_MUSIC_SCORE, &m->score, &m->score_error);
  return *m;
}

const TrackRow* find_row(const std::vector<TrackRow>& rows, int id) {
  for (const TrackRow& r : rows)
    if (r.id == id) return &r;
  return nullptr;
}

TEST(MusicTable, ParsesAsTheGameReadsItWithEveryIdOnce) {
  const Music& m = music_files();
  ASSERT_FALSE(m.table_text.empty()) << "merged_data.txt missing in " VANTREL_MUSIC_DIR;
  // Every line is five numbers separated by single blanks and ends in CR LF.
  size_t lines = 0, pos = 0;
  while (pos < m.table_text.size()) {
    size_t crlf = m.table_text.find("\r\n", pos);
    ASSERT_NE(crlf, std::string::npos) << "line without CR LF at byte " << pos;
    std::string line = m.table_text.substr(pos, crlf - pos);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 4) << line;
    EXPECT_EQ(line.find_first_not_of("0123456789 "), std::string::npos) << line;
    pos = crlf + 2;
    lines++;
  }
  EXPECT_EQ(lines, 75u);
  ASSERT_EQ(m.rows.size(), 75u);
  std::set<int> ids;
  for (const TrackRow& r : m.rows) ids.insert(r.id);
  EXPECT_EQ(ids.size(), 75u);
  EXPECT_EQ(*ids.begin(), 1);
  EXPECT_EQ(*ids.rbegin(), 75);
}

TEST(MusicTable, GridLeadsLengthsAndLayout) {
  const Music& m = music_files();
  ASSERT_EQ(m.rows.size(), 75u);
  const std::map<int, int> special = {{1, 146621}, {51, 161283}, {14, 14662}};
  long expected_start = LAYOUT_FIRST_START;
  for (const TrackRow& r : m.rows) {
    SCOPED_TRACE("segment " + std::to_string(r.id));
    auto it = special.find(r.id);
    EXPECT_EQ(r.advance, it == special.end() ? 73310 : it->second);
    EXPECT_GE(r.lead, 33);
    EXPECT_LE(r.lead, 1290);
    EXPECT_GE(r.length, 36000);
    EXPECT_LE(r.length, 197000);
    // The tail must ring on under the next segment.
    EXPECT_GT(r.length, r.lead + r.advance);
    EXPECT_EQ(r.start, expected_start);
    expected_start = (long)r.start + r.length + LAYOUT_GAP;
  }
}

TEST(MusicStream, DecodesWithTheGamesDecoderAndHoldsEverySegment) {
  const Music& m = music_files();
  ASSERT_FALSE(m.merged_bytes.empty());
  EXPECT_LE(m.merged_bytes.size(), 4u * 1024 * 1024) << "merged.ogg over 4 MB";
  ASSERT_EQ(m.merged.channels, 2);
  // The game sizes its buffer from the last granule position, then decodes into it.
  VorbisDecoder* dec = vorbis_open_from_memory((const unsigned char*)m.merged_bytes.data(),
                                               (int)m.merged_bytes.size(), nullptr, nullptr);
  ASSERT_NE(dec, nullptr);
  EXPECT_EQ(vorbis_get_info(dec).sample_rate, (unsigned)RATE);
  EXPECT_EQ((long)vorbis_total_samples(dec), m.merged.frames);
  vorbis_close_decoder(dec);
  for (const TrackRow& r : m.rows)
    EXPECT_LE((long)r.start + r.length, m.merged.frames) << "segment " << r.id << " past the end";
}

TEST(MusicStream, SegmentsSitExactlyWhereTheTableSays) {
  // Re-render a few segments from the score and find them in the decoded
  // stream: a table or layout off by even a few frames shows up as a lag.
  const Music& m = music_files();
  ASSERT_TRUE(m.score_ok) << m.score_error;
  ASSERT_EQ(m.merged.channels, 2);
  for (int id : {1, 14, 51, 60, 73}) {
    SCOPED_TRACE("segment " + std::to_string(id));
    const TrackRow* row = find_row(m.rows, id);
    const Segment* seg = score_find_segment(m.score, id);
    ASSERT_TRUE(row && seg);
    std::vector<float> ref;
    render_segment(m.score, *seg, &ref, nullptr);
    ASSERT_EQ((long)ref.size(), 2L * row->length);
    // Compare one second of the body at lags -8..8.
    long first = row->lead + 2000, count = std::min(44100L, (long)row->length - first - 1000);
    int best_lag = 99;
    double best = -1.0, best_err = 0.0, energy = 0.0;
    for (int lag = -8; lag <= 8; lag++) {
      double dot = 0.0, err = 0.0, e = 0.0;
      for (long f = first; f < first + count; f++)
        for (int ch = 0; ch < 2; ch++) {
          float a = ref[2 * f + ch];
          float b = m.merged.stereo[2 * (row->start + f + lag) + ch];
          dot += a * b;
          err += (a - b) * (a - b);
          e += a * a;
        }
      if (dot > best) best = dot, best_lag = lag, best_err = err, energy = e;
    }
    EXPECT_EQ(best_lag, 0);
    // Lossy, but the waveform must still be this segment's (better than 12 dB SNR).
    EXPECT_GT(10.0 * std::log10(energy / std::max(best_err, 1e-12)), 12.0);
  }
}

TEST(MusicStream, SegmentEdgesAreSilentSoVoicesStartAndStopWithoutClicks) {
  const Music& m = music_files();
  ASSERT_EQ(m.merged.channels, 2);
  float worst = 0.0f;
  for (const TrackRow& r : m.rows) {
    float edge = analysis_edge_peak(m.merged.stereo.data(), r.start, r.length, EDGE_FRAMES);
    worst = std::max(worst, edge);
    EXPECT_LE(edge, EDGE_LIMIT) << "segment " << r.id << " edge at " << analysis_db(edge) << " dBFS";
  }
  RecordProperty("worst_edge_dbfs", std::to_string(analysis_db(worst)));
}

TEST(MusicStream, PeaksAndLoudnessOfEverySegment) {
  const Music& m = music_files();
  ASSERT_EQ(m.merged.channels, 2);
  ASSERT_EQ(m.rows.size(), 75u);
  std::vector<double> loud;
  for (const TrackRow& r : m.rows) {
    float peak = analysis_peak(m.merged.stereo.data(), r.start, r.length);
    EXPECT_LE(peak, PEAK_LIMIT) << "segment " << r.id << " peaks at " << analysis_db(peak);
    // Loudness of the body: from the beat to the next beat.
    long count = std::min((long)r.advance, (long)r.length - r.lead);
    loud.push_back(analysis_loudness(m.merged.stereo.data(), m.merged.frames, r.start + r.lead,
                                     count, RATE));
  }
  std::vector<double> sorted = loud;
  std::sort(sorted.begin(), sorted.end());
  double median = sorted[sorted.size() / 2];
  for (size_t i = 0; i < loud.size(); i++)
    EXPECT_NEAR(loud[i], median, 2.0) << "segment " << m.rows[i].id;
  RecordProperty("loudness_spread_db", std::to_string(sorted.back() - sorted.front()));
}

TEST(MusicStream, TailsHaveDecayedBeforeTheirFinalFade) {
  // The last 0.2 s of every segment is a fade to silence. If the tail were
  // still loud there, the previous chord would audibly cut off under the next
  // segment, so 0.4..0.2 s before the end must be well under the body.
  const Music& m = music_files();
  ASSERT_EQ(m.merged.channels, 2);
  const long fade = RATE / 5;
  for (const TrackRow& r : m.rows) {
    long body = std::min((long)r.advance, (long)r.length - r.lead);
    double body_loudness = analysis_loudness(m.merged.stereo.data(), m.merged.frames,
                                             r.start + r.lead, body, RATE);
    double before_fade = analysis_loudness(m.merged.stereo.data(), m.merged.frames,
                                           (long)r.start + r.length - 2 * fade, fade, RATE);
    EXPECT_LT(before_fade, body_loudness - 12.0) << "segment " << r.id;
  }
}

TEST(MusicTitle, TitlePieceDecodesIsTenToThirtySecondsAndWithinLimits) {
  const Music& m = music_files();
  ASSERT_FALSE(m.title_bytes.empty());
  ASSERT_EQ(m.title.channels, 2);
  EXPECT_GE(m.title.frames, 10L * RATE);
  EXPECT_LE(m.title.frames, 30L * RATE);
  EXPECT_LE(analysis_peak(m.title.stereo.data(), 0, m.title.frames), PEAK_LIMIT);
  EXPECT_LE(analysis_edge_peak(m.title.stereo.data(), 0, m.title.frames, EDGE_FRAMES), EDGE_LIMIT);
  // Not silent: about as loud as the segments.
  EXPECT_GT(analysis_loudness(m.title.stereo.data(), m.title.frames, 0, m.title.frames, RATE), -26.0);
}

// The game's playlists, by the room that selects each.
struct GameList {
  const char* name;
  int room;
};
const GameList GAME_LISTS[] = {{"a", 1}, {"b", 7}, {"c", 10}, {"d", 20}, {"e", 26}};

TEST(MusicPlaylists, ScoreKnowsTheGamesPlaylistsAndEachStaysInOneKey) {
  const Music& m = music_files();
  ASSERT_TRUE(m.score_ok) << m.score_error;
  for (const GameList& gl : GAME_LISTS) {
    SCOPED_TRACE(std::string("playlist_") + gl.name);
    g_selected_list = nullptr;
    music_select_for_room(gl.room);
    ASSERT_NE(g_selected_list, nullptr);
    const Playlist* list = score_find_playlist(m.score, gl.name);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ids, std::vector<int>(g_selected_list, g_selected_list + g_selected_count));
    EXPECT_EQ(list->loop, g_selected_loop);
    // Every transition the list plays (including the loop back) joins two
    // segments on the same tonic.
    std::vector<std::pair<int, int>> steps;
    for (size_t i = 0; i + 1 < list->ids.size(); i++) steps.push_back({list->ids[i], list->ids[i + 1]});
    steps.push_back({list->ids.back(), list->ids[list->loop]});
    for (auto [from, to] : steps) {
      const Segment* a = score_find_segment(m.score, from);
      const Segment* b = score_find_segment(m.score, to);
      ASSERT_TRUE(a && b) << from << " -> " << to;
      EXPECT_EQ(a->tonic, b->tonic) << from << " -> " << to;
      ASSERT_NE(find_row(m.rows, to), nullptr) << "id " << to << " not in merged_data.txt";
    }
  }
  const Playlist* title = score_find_playlist(m.score, "title");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->ids, std::vector<int>(playlist_title, playlist_title + PLAYLIST_TITLE_COUNT));
}

TEST(MusicPlaylists, OverlappingTailsNeverClipWhenPlayedAsTheGameSchedulesThem) {
  // Segments are mixed at full volume with the previous ones' tails still
  // ringing; one pass of each list (and the title list) must stay below 0 dBFS.
  const Music& m = music_files();
  ASSERT_EQ(m.merged.channels, 2);
  const int* lists[] = {playlist_a, playlist_b, playlist_c, playlist_d, playlist_e, playlist_title};
  const int counts[] = {PLAYLIST_A_COUNT, PLAYLIST_B_COUNT, PLAYLIST_C_COUNT,
                        PLAYLIST_D_COUNT, PLAYLIST_E_COUNT, PLAYLIST_TITLE_COUNT};
  for (int l = 0; l < 6; l++) {
    long beat = 2000, total = 2000;
    for (int i = 0; i < counts[l]; i++) total += find_row(m.rows, lists[l][i])->advance;
    std::vector<float> mix(2 * (size_t)(total + 250000), 0.0f);
    for (int i = 0; i < counts[l]; i++) {
      const TrackRow* r = find_row(m.rows, lists[l][i]);
      long at = beat - r->lead;
      for (long f = 0; f < 2L * r->length; f++) mix[2 * at + f] += m.merged.stereo[2L * r->start + f];
      beat += r->advance;
    }
    float peak = analysis_peak(mix.data(), 0, (long)mix.size() / 2);
    EXPECT_LT(peak, 1.0f) << "list " << l << " peaks at " << analysis_db(peak) << " dBFS";
  }
}

}  // namespace
