#pragma once
// Times of one kind of operation, in microseconds, and their order statistics.
#include <algorithm>
#include <cstdint>
#include <vector>

namespace bench {

class Samples {
public:
    void add(int64_t us) {
        values_.push_back(us);
        sorted_ = false;
    }
    void add(const Samples& other) {
        values_.insert(values_.end(), other.values_.begin(), other.values_.end());
        sorted_ = false;
    }
    size_t size() const { return values_.size(); }
    bool empty() const { return values_.empty(); }
    // The value below which the fraction q of the samples lie (nearest rank); 0 when empty.
    int64_t quantile(double q) {
        if (values_.empty()) return 0;
        if (!sorted_) std::sort(values_.begin(), values_.end());
        sorted_ = true;
        const size_t rank = static_cast<size_t>(q * static_cast<double>(values_.size()) + 0.999999);
        return values_[std::clamp<size_t>(rank, 1, values_.size()) - 1];
    }
    int64_t p50() { return quantile(0.5); }
    int64_t p99() { return quantile(0.99); }
    int64_t max() { return quantile(1.0); }
    double mean() const {
        if (values_.empty()) return 0;
        double sum = 0;
        for (int64_t v : values_)
            sum += static_cast<double>(v);
        return sum / static_cast<double>(values_.size());
    }

private:
    std::vector<int64_t> values_;
    bool sorted_ = true;
};

} // namespace bench
