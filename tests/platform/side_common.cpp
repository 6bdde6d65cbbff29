#include "side.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace side {

namespace {
std::filesystem::path utf8Path(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
} // namespace

WorkFolder::WorkFolder() {
    // Named at random, so that runs side by side never share a folder.
    std::random_device random;
    do
        root_ = std::filesystem::temp_directory_path() / ("vortalis-platform-" + std::to_string(random()));
    while (!std::filesystem::create_directory(root_));
}

WorkFolder::~WorkFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string WorkFolder::path(std::string_view name) const {
    return utf8Text(root_) + kSeparator + std::string(name);
}

void WorkFolder::write(std::string_view name, std::string_view bytes) const {
    std::ofstream out(utf8Path(path(name)), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path(name));
}

std::string WorkFolder::read(std::string_view name) const {
    std::ifstream in(utf8Path(path(name)), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path(name));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WorkFolder::makeFolder(std::string_view name) const {
    std::filesystem::create_directory(utf8Path(path(name)));
}

int runHolder(const std::string& what, const std::string& argument) {
    Holder holder(what, argument);
    return holder.wait();
}

} // namespace side
