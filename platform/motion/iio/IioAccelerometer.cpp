#include "platform/motion/iio/IioAccelerometer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/log/Log.h"

namespace hx {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> readFile(const fs::path& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::string text;
    std::getline(in, text);
    if (in.bad()) return std::nullopt;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::optional<double> readNumber(const fs::path& path) {
    auto text = readFile(path);
    if (!text || text->empty()) return std::nullopt;
    double value = 0;
    const char* begin = text->data();
    const char* end = begin + text->size();
    auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

// "iio:device12" sorts after "iio:device2".
int deviceNumber(const std::string& name) {
    const std::size_t digits = name.find_last_not_of("0123456789");
    if (digits == std::string::npos || digits + 1 == name.size()) return -1;
    return std::atoi(name.c_str() + digits + 1);
}

// "x0, x1, x2; y0, y1, y2; z0, z1, z2", the kernel's text form.
std::optional<std::array<std::array<double, 3>, 3>> parseMountMatrix(const std::string& text) {
    std::array<std::array<double, 3>, 3> matrix{};
    std::string cleaned = text;
    std::replace(cleaned.begin(), cleaned.end(), ',', ' ');
    std::replace(cleaned.begin(), cleaned.end(), ';', ' ');
    std::istringstream in(cleaned);
    for (auto& row : matrix)
        for (double& value : row)
            if (!(in >> value) || !std::isfinite(value)) return std::nullopt;
    std::string rest;
    if (in >> rest) return std::nullopt;
    return matrix;
}

}  // namespace

std::string IioAccelerometer::defaultRoot() {
    const char* root = std::getenv("HALIDEX_IIO_ROOT");
    return root && *root ? root : "/sys/bus/iio/devices";
}

std::string IioAccelerometer::findAccelerometer(const std::string& root) {
    std::error_code ec;
    std::vector<fs::path> devices;
    for (const fs::directory_entry& entry : fs::directory_iterator(root, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("iio:device", 0) == 0) devices.push_back(entry.path());
    }
    std::sort(devices.begin(), devices.end(), [](const fs::path& a, const fs::path& b) {
        return deviceNumber(a.filename().string()) < deviceNumber(b.filename().string());
    });
    for (const fs::path& device : devices) {
        if (readFile(device / "name") == "accel_3d" || fs::exists(device / "in_accel_x_raw", ec))
            return device.string();
    }
    return {};
}

IioAccelerometer::IioAccelerometer(std::string root) {
    const std::string device = findAccelerometer(root);
    if (device.empty()) return;
    const fs::path folder(device);
    // Per-axis scale and offset win over the shared ones.
    const std::optional<double> sharedScale = readNumber(folder / "in_accel_scale");
    const std::optional<double> sharedOffset = readNumber(folder / "in_accel_offset");
    const char names[3] = {'x', 'y', 'z'};
    for (int i = 0; i < 3; ++i) {
        const std::string prefix = std::string("in_accel_") + names[i];
        Axis& axis = axes_[i];
        axis.rawPath = (folder / (prefix + "_raw")).string();
        axis.scale = readNumber(folder / (prefix + "_scale")).value_or(sharedScale.value_or(1));
        axis.offset = readNumber(folder / (prefix + "_offset")).value_or(sharedOffset.value_or(0));
    }
    for (const char* file : {"in_accel_mount_matrix", "in_mount_matrix", "mount_matrix"}) {
        auto text = readFile(folder / file);
        if (!text) continue;
        if (auto matrix = parseMountMatrix(*text))
            mount_ = *matrix;
        else
            hxLog("Ignoring the accelerometer's mount matrix \"%s\"", text->c_str());
        break;
    }
    device_ = device;
}

std::optional<Acceleration> IioAccelerometer::read(std::string* error) {
    if (device_.empty()) {
        if (error) *error = "no accelerometer";
        return std::nullopt;
    }
    std::array<double, 3> sensor{};
    for (int i = 0; i < 3; ++i) {
        auto raw = readNumber(axes_[i].rawPath);
        if (!raw) {
            if (error) *error = "cannot read " + axes_[i].rawPath;
            return std::nullopt;
        }
        sensor[i] = (*raw + axes_[i].offset) * axes_[i].scale / kStandardGravity;
    }
    std::array<double, 3> device{};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            device[row] += mount_[row][column] * sensor[column];
    return Acceleration{device[0], device[1], device[2]};
}

}  // namespace hx
