// Floor 1: reading the curve's points from a packet, unwrapping them against
// the line through their neighbours, and multiplying the spectrum by the
// piecewise-linear curve in the dB domain (an integer line walk with a table
// lookup per bin), so no floor curve is ever stored.
#include <cstdlib>

#include "vorbis/vorbis_internal.h"

namespace {

const float INVERSE_DB[256] = {
    1.0649863e-07f, 1.1341951e-07f, 1.2079015e-07f, 1.2863978e-07f, 1.3699951e-07f,
    1.4590251e-07f, 1.5538408e-07f, 1.6548181e-07f, 1.7623575e-07f, 1.8768855e-07f,
    1.9988561e-07f, 2.1287530e-07f, 2.2670913e-07f, 2.4144197e-07f, 2.5713223e-07f,
    2.7384213e-07f, 2.9163793e-07f, 3.1059021e-07f, 3.3077411e-07f, 3.5226968e-07f,
    3.7516214e-07f, 3.9954229e-07f, 4.2550680e-07f, 4.5315863e-07f, 4.8260743e-07f,
    5.1396998e-07f, 5.4737065e-07f, 5.8294187e-07f, 6.2082472e-07f, 6.6116941e-07f,
    7.0413592e-07f, 7.4989464e-07f, 7.9862701e-07f, 8.5052630e-07f, 9.0579828e-07f,
    9.6466216e-07f, 1.0273513e-06f, 1.0941144e-06f, 1.1652161e-06f, 1.2409384e-06f,
    1.3215816e-06f, 1.4074654e-06f, 1.4989305e-06f, 1.5963394e-06f, 1.7000785e-06f,
    1.8105592e-06f, 1.9282195e-06f, 2.0535261e-06f, 2.1869758e-06f, 2.3290978e-06f,
    2.4804557e-06f, 2.6416497e-06f, 2.8133190e-06f, 2.9961443e-06f, 3.1908506e-06f,
    3.3982101e-06f, 3.6190449e-06f, 3.8542308e-06f, 4.1047004e-06f, 4.3714470e-06f,
    4.6555282e-06f, 4.9580707e-06f, 5.2802740e-06f, 5.6234160e-06f, 5.9888572e-06f,
    6.3780469e-06f, 6.7925283e-06f, 7.2339451e-06f, 7.7040476e-06f, 8.2047000e-06f,
    8.7378876e-06f, 9.3057248e-06f, 9.9104632e-06f, 1.0554501e-05f, 1.1240392e-05f,
    1.1970856e-05f, 1.2748789e-05f, 1.3577278e-05f, 1.4459606e-05f, 1.5399272e-05f,
    1.6400004e-05f, 1.7465768e-05f, 1.8600792e-05f, 1.9809576e-05f, 2.1096914e-05f,
    2.2467911e-05f, 2.3928002e-05f, 2.5482978e-05f, 2.7139006e-05f, 2.8902651e-05f,
    3.0780908e-05f, 3.2781225e-05f, 3.4911534e-05f, 3.7180282e-05f, 3.9596466e-05f,
    4.2169667e-05f, 4.4910090e-05f, 4.7828601e-05f, 5.0936773e-05f, 5.4246931e-05f,
    5.7772202e-05f, 6.1526565e-05f, 6.5524908e-05f, 6.9783085e-05f, 7.4317983e-05f,
    7.9147585e-05f, 8.4291040e-05f, 8.9768747e-05f, 9.5602426e-05f, 0.00010181521f,
    0.00010843174f, 0.00011547824f, 0.00012298267f, 0.00013097477f, 0.00013948625f,
    0.00014855085f, 0.00015820453f, 0.00016848555f, 0.00017943469f, 0.00019109536f,
    0.00020351382f, 0.00021673929f, 0.00023082423f, 0.00024582449f, 0.00026179955f,
    0.00027881276f, 0.00029693158f, 0.00031622787f, 0.00033677814f, 0.00035866388f,
    0.00038197188f, 0.00040679456f, 0.00043323036f, 0.00046138411f, 0.00049136745f,
    0.00052329927f, 0.00055730621f, 0.00059352311f, 0.00063209358f, 0.00067317058f,
    0.00071691700f, 0.00076350630f, 0.00081312324f, 0.00086596457f, 0.00092223983f,
    0.00098217216f, 0.0010459992f, 0.0011139742f, 0.0011863665f, 0.0012634633f, 0.0013455702f,
    0.0014330129f, 0.0015261382f, 0.0016253153f, 0.0017309374f, 0.0018434235f, 0.0019632195f,
    0.0020908006f, 0.0022266726f, 0.0023713743f, 0.0025254795f, 0.0026895994f, 0.0028643847f,
    0.0030505286f, 0.0032487691f, 0.0034598925f, 0.0036847358f, 0.0039241906f, 0.0041792066f,
    0.0044507950f, 0.0047400328f, 0.0050480668f, 0.0053761186f, 0.0057254891f, 0.0060975636f,
    0.0064938176f, 0.0069158225f, 0.0073652516f, 0.0078438871f, 0.0083536271f, 0.0088964928f,
    0.009474637f, 0.010090352f, 0.010746080f, 0.011444421f, 0.012188144f, 0.012980198f,
    0.013823725f, 0.014722068f, 0.015678791f, 0.016697687f, 0.017782797f, 0.018938423f,
    0.020169149f, 0.021479854f, 0.022875735f, 0.024362330f, 0.025945531f, 0.027631618f,
    0.029427276f, 0.031339626f, 0.033376252f, 0.035545228f, 0.037855157f, 0.040315199f,
    0.042935108f, 0.045725273f, 0.048696758f, 0.051861348f, 0.055231591f, 0.058820850f,
    0.062643361f, 0.066714279f, 0.071049749f, 0.075666962f, 0.080584227f, 0.085821044f,
    0.091398179f, 0.097337747f, 0.10366330f, 0.11039993f, 0.11757434f, 0.12521498f,
    0.13335215f, 0.14201813f, 0.15124727f, 0.16107617f, 0.17154380f, 0.18269168f, 0.19456402f,
    0.20720788f, 0.22067342f, 0.23501402f, 0.25028656f, 0.26655159f, 0.28387361f, 0.30232132f,
    0.32196786f, 0.34289114f, 0.36517414f, 0.38890521f, 0.41417847f, 0.44109412f, 0.46975890f,
    0.50028648f, 0.53279791f, 0.56742212f, 0.60429640f, 0.64356699f, 0.68538959f, 0.72993007f,
    0.77736504f, 0.82788260f, 0.88168307f, 0.9389798f, 1.f};

int render_point(int x0, int y0, int x1, int y1, int x) {
  int dy = y1 - y0, adx = x1 - x0;
  int ady = abs(dy);
  int off = ady * (x - x0) / adx;
  return dy < 0 ? y0 - off : y0 + off;
}

// Multiplies v[x0 .. min(x1, limit)) by the curve from (x0, y0) to (x1, y1).
void multiply_line(float* v, int x0, int y0, int x1, int y1, int limit) {
  int dy = y1 - y0, adx = x1 - x0;
  int ady = abs(dy);
  int base = dy / adx;
  int sy = dy < 0 ? base - 1 : base + 1;
  ady -= abs(base) * adx;
  int end = x1 < limit ? x1 : limit;
  int y = y0, err = 0;
  if (x0 < end) v[x0] *= INVERSE_DB[y];
  for (int x = x0 + 1; x < end; ++x) {
    err += ady;
    if (err >= adx) {
      err -= adx;
      y += sy;
    } else {
      y += base;
    }
    v[x] *= INVERSE_DB[y];
  }
}

}  // namespace

// Returns 1 with the final Y of each point (-1 = left out of the curve), or 0
// when the channel is unused in this packet (also when the packet ran out).
int vorbis_floor1_decode(VorbisDecoder* d, const VorbisFloor1* f, int16_t* y_out) {
  if (!vorbis_get_bits(d, 1)) return 0;
  int raw[VORBIS_FLOOR1_MAX_POINTS];
  int bits = vorbis_ilog(f->range - 1);
  raw[0] = (int)vorbis_get_bits(d, bits);
  raw[1] = (int)vorbis_get_bits(d, bits);
  int offset = 2;
  for (int i = 0; i < f->partitions; ++i) {
    int cls = f->partition_class[i];
    int cdim = f->class_dimensions[cls];
    int cbits = f->class_subclasses[cls];
    int csub = (1 << cbits) - 1;
    int cval = 0;
    if (cbits) {
      cval = vorbis_codebook_decode(d, &d->codebooks[f->class_masterbook[cls]]);
      if (cval < 0) return 0;
    }
    for (int j = 0; j < cdim; ++j) {
      int book = f->subclass_books[cls][cval & csub];
      cval >>= cbits;
      int v = 0;
      if (book >= 0) {
        v = vorbis_codebook_decode(d, &d->codebooks[book]);
        if (v < 0) return 0;
      }
      raw[offset + j] = v;
    }
    offset += cdim;
  }
  if (d->bits_invalid) return 0;

  // Amplitude unwrapping; values are kept inside [0, range) so that a hostile
  // setup cannot push the curve outside the dB table.
  const int range = f->range;
  uint8_t* used = d->floor_step2;
  int final_y[VORBIS_FLOOR1_MAX_POINTS];
  used[0] = used[1] = 1;
  final_y[0] = raw[0] < range ? raw[0] : range - 1;
  final_y[1] = raw[1] < range ? raw[1] : range - 1;
  for (int i = 2; i < f->values; ++i) {
    int low = f->low_neighbor[i], high = f->high_neighbor[i];
    int predicted = render_point(f->x_list[low], final_y[low], f->x_list[high], final_y[high],
                                 f->x_list[i]);
    int val = raw[i];
    int high_room = range - predicted, low_room = predicted;
    int room = (high_room < low_room ? high_room : low_room) * 2;
    int y;
    if (val != 0) {
      used[low] = used[high] = used[i] = 1;
      if (val >= room) {
        y = high_room > low_room ? val - low_room + predicted : predicted - val + high_room - 1;
      } else {
        y = (val & 1) ? predicted - (val + 1) / 2 : predicted + val / 2;
      }
    } else {
      used[i] = 0;
      y = predicted;
    }
    if (y < 0) y = 0;
    if (y >= range) y = range - 1;
    final_y[i] = y;
  }
  for (int i = 0; i < f->values; ++i) y_out[i] = (int16_t)(used[i] ? final_y[i] : -1);
  return 1;
}

void vorbis_floor1_apply(VorbisDecoder*, const VorbisFloor1* f, const int16_t* y,
                         float* spectrum, int half_n) {
  int lx = 0, ly = y[0] * f->multiplier;
  for (int i = 1; i < f->values; ++i) {
    int point = f->sorted_order[i];
    if (y[point] < 0) continue;
    int hx = f->x_list[point], hy = y[point] * f->multiplier;
    if (lx < half_n) multiply_line(spectrum, lx, ly, hx, hy, half_n);
    lx = hx;
    ly = hy;
  }
  if (lx < half_n) {
    float gain = INVERSE_DB[ly];
    for (int x = lx; x < half_n; ++x) spectrum[x] *= gain;
  }
}
