#include "image/resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace hosttools {
namespace {

/// Premultiplied RGBA in floating point, row after row.
struct Plane {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<float> values;
    float* at(std::uint32_t x, std::uint32_t y) { return values.data() + (std::size_t{y} * width + x) * 4; }
    const float* at(std::uint32_t x, std::uint32_t y) const {
        return values.data() + (std::size_t{y} * width + x) * 4;
    }
};

/// One output sample as a weighted sum of source samples.
struct Tap {
    std::uint32_t index;
    float weight;
};

std::vector<Tap> areaTaps(std::uint32_t target, std::uint32_t source, std::uint32_t out) {
    const double scale = double(source) / target;
    const double begin = out * scale, end = (out + 1) * scale;
    std::vector<Tap> taps;
    for (auto i = static_cast<std::uint32_t>(begin); i < source && i < end; ++i) {
        const double covered = std::min<double>(i + 1, end) - std::max<double>(i, begin);
        if (covered > 0) taps.push_back({i, float(covered / scale)});
    }
    return taps;
}

std::vector<Tap> bilinearTaps(std::uint32_t target, std::uint32_t source, std::uint32_t out) {
    // Pixel centres line up: out + 0.5 maps to (out + 0.5) * scale in the source.
    const double position = std::clamp((out + 0.5) * source / target - 0.5, 0.0, double(source - 1));
    const auto left = static_cast<std::uint32_t>(position);
    const auto right = std::min(left + 1, source - 1);
    const float fraction = float(position - left);
    return {{left, 1 - fraction}, {right, fraction}};
}

/// Taps for every output position along one axis.
std::vector<std::vector<Tap>> axisTaps(std::uint32_t target, std::uint32_t source) {
    std::vector<std::vector<Tap>> all(target);
    for (std::uint32_t out = 0; out < target; ++out)
        all[out] = target < source ? areaTaps(target, source, out) : bilinearTaps(target, source, out);
    return all;
}

/// Pixel (x, y) of `image` as premultiplied floating-point RGBA.
void premultipliedPixel(const RgbaImage& image, std::uint32_t x, std::uint32_t y, float* out) {
    const std::uint8_t* pixel = image.pixels.data() + (std::size_t{y} * image.width + x) * 4;
    const float alpha = pixel[3] / 255.0f;
    for (int c = 0; c < 3; ++c) out[c] = pixel[c] / 255.0f * alpha;
    out[3] = alpha;
}

RgbaImage unpremultiplied(const Plane& plane) {
    RgbaImage image{plane.width, plane.height, std::vector<std::uint8_t>(plane.values.size())};
    const auto toByte = [](float value) {
        return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255));
    };
    for (std::size_t i = 0; i < plane.values.size(); i += 4) {
        const float alpha = plane.values[i + 3];
        for (int c = 0; c < 3; ++c) image.pixels[i + c] = alpha > 0 ? toByte(plane.values[i + c] / alpha) : 0;
        image.pixels[i + 3] = toByte(alpha);
    }
    return image;
}

// Premultiplies while reading, so a large source is never held as floats.
Plane horizontally(const RgbaImage& source, std::uint32_t width) {
    Plane result{width, source.height, std::vector<float>(std::size_t{width} * source.height * 4)};
    const auto taps = axisTaps(width, source.width);
    float sample[4];
    for (std::uint32_t y = 0; y < source.height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            for (const Tap& tap : taps[x]) {
                premultipliedPixel(source, tap.index, y, sample);
                for (int c = 0; c < 4; ++c) result.at(x, y)[c] += sample[c] * tap.weight;
            }
    return result;
}

Plane vertically(const Plane& source, std::uint32_t height) {
    Plane result{source.width, height, std::vector<float>(std::size_t{source.width} * height * 4)};
    const auto taps = axisTaps(height, source.height);
    for (std::uint32_t y = 0; y < height; ++y)
        for (const Tap& tap : taps[y])
            for (std::uint32_t x = 0; x < source.width; ++x)
                for (int c = 0; c < 4; ++c) result.at(x, y)[c] += source.at(x, tap.index)[c] * tap.weight;
    return result;
}

} // namespace

RgbaImage resample(const RgbaImage& image, std::uint32_t width, std::uint32_t height) {
    return unpremultiplied(vertically(horizontally(image, width), height));
}

} // namespace hosttools
