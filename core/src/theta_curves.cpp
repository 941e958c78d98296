// SPDX-License-Identifier: MIT
#include "core/theta_curves.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/double_paths.h"
#include "core/strain.h"
#include "core/utf8_text.h"

namespace orvane {
namespace {

using LD = long double;

// Two shapes lie on opposite edges of the plot when their orientations are
// more than a right angle apart: along a curve sampled every half degree of
// theta, phi moves far less than that except where it wraps from +90 to -90.
bool Wraps(const RfPhiPoint& a, const RfPhiPoint& b) {
  return std::fabs(static_cast<LD>(b.phi) - a.phi) > 90;
}

bool Finite(const RfPhiPoint& p) {
  return std::isfinite(p.ratio) && std::isfinite(p.phi);
}

// Bisection of theta stops when the bracket is this narrow, in degrees.
constexpr LD kEdgeTolerance = 1e-3L;

class CurveBuilder {
 public:
  explicit CurveBuilder(ThetaCurve& curve) : curve_(curve) {}

  void Add(const RfPhiPoint& p) {
    if (!Finite(p)) {  // a shape beyond single precision: the line stops
      open_ = false;
      return;
    }
    if (!open_) {
      curve_.pieces.push_back({p});
      open_ = true;
    } else if (!(last_ == p)) {
      curve_.pieces.back().push_back(p);
    }
    last_ = p;
  }
  void Cut() { open_ = false; }

 private:
  ThetaCurve& curve_;
  bool open_ = false;
  RfPhiPoint last_;  // the last shape of the open piece
};

}  // namespace

RfPhiPoint StrainedShape(const MinkowskiMatrix& pre_to_post,
                         float initial_ratio, LD theta_degrees) {
  const float rho = RhoOfRatio(initial_ratio);
  const float psi = static_cast<float>(theta_degrees * 2 * kRadPerDeg);
  MarkerRecord shape;
  shape.vector = MatVec(pre_to_post, HyperbolicVector(rho, psi));
  DeriveFromVector(shape);
  // atan2 gives -pi for a negative zero: the same orientation as +90.
  const float phi = shape.phi == -90.0f ? 90.0f : shape.phi;
  return {shape.ratio, phi};
}

ThetaCurve ComputeThetaCurve(const MinkowskiMatrix& pre_to_post,
                             float initial_ratio, int samples) {
  ThetaCurve curve;
  curve.initial_ratio = initial_ratio;
  if (samples < 2) samples = 2;
  CurveBuilder builder(curve);
  auto theta_of = [samples](int k) {
    return static_cast<LD>(180) * k / (samples - 1);
  };
  RfPhiPoint previous = StrainedShape(pre_to_post, initial_ratio, 0);
  builder.Add(previous);
  for (int k = 1; k < samples; ++k) {
    const RfPhiPoint next =
        StrainedShape(pre_to_post, initial_ratio, theta_of(k));
    if (Finite(previous) && Finite(next) && Wraps(previous, next)) {
      // The last shape before the edge and the first after it.
      LD low = theta_of(k - 1), high = theta_of(k);
      RfPhiPoint before = previous, after = next;
      while (high - low > kEdgeTolerance) {
        const LD middle = (low + high) / 2;
        const RfPhiPoint m = StrainedShape(pre_to_post, initial_ratio, middle);
        if (!Finite(m)) break;
        if (Wraps(previous, m)) {
          high = middle;
          after = m;
        } else {
          low = middle;
          before = m;
        }
      }
      builder.Add(before);
      builder.Cut();
      builder.Add(after);
    }
    builder.Add(next);
    previous = next;
  }
  return curve;
}

std::vector<ThetaCurve> ComputeThetaCurves(const MinkowskiMatrix& pre_to_post,
                                           const std::vector<float>& ratios) {
  std::vector<ThetaCurve> curves;
  curves.reserve(ratios.size());
  for (const float r : ratios) {
    curves.push_back(ComputeThetaCurve(pre_to_post, r));
  }
  return curves;
}

Status ParseThetaCurveRatios(std::string_view text, std::vector<float>& ratios,
                             std::string_view decimal_separator) {
  auto refused = [](const std::string& why) {
    return Status(StatusCode::kReadError, why);
  };
  // With a decimal comma the items are separated by semicolons or blanks,
  // and a comma belongs to its number.
  const bool comma = decimal_separator == ",";
  const char* const example =
      comma ? "1,25; 1,5; 2; 3; 5" : "1.25, 1.5, 2, 3, 5";
  auto ends_item = [comma](char c) { return c == ';' || (!comma && c == ','); };
  auto separator = [&ends_item](char c) {
    return ends_item(c) || c == ' ' || c == '\t';
  };
  std::vector<float> read;
  // A comma or semicolon ends an item: one with no item before it (at the
  // start, or after another) or none after it leaves an empty item.
  bool item_open = true;  // no item yet since the last comma or semicolon
  const Status empty_item = refused(
      std::string("an empty item: give initial ratios such as ") + example +
      (comma ? ", separated by semicolons or blanks"
             : ", separated by commas"));
  std::size_t i = 0;
  while (i < text.size()) {
    if (separator(text[i])) {
      if (ends_item(text[i])) {
        if (item_open) return empty_item;
        item_open = true;
      }
      ++i;
      continue;
    }
    item_open = false;
    std::size_t end = i;
    while (end < text.size() && !separator(text[end])) ++end;
    std::string token(text.substr(i, end - i));
    i = end;
    const std::string quoted = "\"" + PrintableText(token, 40) + "\"";
    if (comma) {
      // "1,5" is 1.5; "1,5,2" or "1," may be a list written with commas, and
      // "1.000,5" mixes a grouping: none of them is read as a guess.
      const std::size_t at = token.find(',');
      if (at != std::string::npos) {
        if (token.find(',', at + 1) != std::string::npos ||
            token.find('.') != std::string::npos || at == 0 ||
            at + 1 == token.size()) {
          return refused(quoted +
                         " is ambiguous: with a decimal comma, separate the "
                         "initial ratios by semicolons or blanks, such as " +
                         example);
        }
        token[at] = '.';
      }
    }
    float value = 0;
    const auto [stop, error] =
        std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || stop != token.data() + token.size() ||
        !std::isfinite(value)) {
      return refused(quoted + " is not a number: give initial ratios such as " +
                     example +
                     (comma ? " (with a comma for decimals)"
                            : " (with a full stop for decimals)"));
    }
    if (value < 1.0f || value > kMaxThetaCurveRatio) {
      return refused(quoted + " is out of range: an initial ratio Ri is " +
                     "from 1 to " +
                     std::to_string(static_cast<int>(kMaxThetaCurveRatio)));
    }
    if (static_cast<int>(read.size()) == kMaxThetaCurves) {
      return refused("more than " + std::to_string(kMaxThetaCurves) +
                     " initial ratios");
    }
    read.push_back(value);
  }
  // An empty text draws none; a trailing separator is an empty item.
  if (item_open && !read.empty()) return empty_item;
  ratios = std::move(read);
  return Status();
}

std::string ThetaCurveRatiosText(const std::vector<float>& ratios,
                                 std::string_view decimal_separator) {
  const bool comma = decimal_separator == ",";
  std::string text;
  for (const float r : ratios) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, r);
    if (!text.empty()) text += comma ? "; " : ", ";
    if (error != std::errc()) continue;
    std::string number(buffer, end);
    if (comma) std::replace(number.begin(), number.end(), '.', ',');
    text += number;
  }
  return text;
}

}  // namespace orvane
