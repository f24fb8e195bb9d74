// Arrays as the old runtime kept them: any lower bound, elements addressed by index, an index
// outside the bounds raises run-time error 9 ("Subscript out of range"). An empty array has
// UBound = LBound - 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace automation {

[[noreturn]] void RaiseSubscriptOutOfRange();

template <class T>
class Array {
  public:
    Array() = default;
    explicit Array(std::vector<T> items, std::int32_t lowerBound = 0)
        : lower_(lowerBound), items_(std::move(items)) {}
    Array(std::initializer_list<T> items) : items_(items) {}

    std::int32_t LBound() const noexcept { return lower_; }
    std::int32_t UBound() const noexcept {
        return lower_ + static_cast<std::int32_t>(items_.size()) - 1;
    }
    std::size_t size() const noexcept { return items_.size(); }
    bool empty() const noexcept { return items_.empty(); }

    T& operator[](std::int32_t index) { return items_[Offset(index)]; }
    const T& operator[](std::int32_t index) const { return items_[Offset(index)]; }

    // ReDim: new bounds, every element reset. An upper bound below the lower one gives an
    // empty array.
    void ReDim(std::int32_t lower, std::int32_t upper) {
        lower_ = lower;
        items_.assign(upper >= lower ? static_cast<std::size_t>(upper - lower + 1) : 0, T{});
    }
    // ReDim Preserve: keeps the lower bound and the elements that still fit.
    void ReDimPreserve(std::int32_t upper) {
        items_.resize(upper >= lower_ ? static_cast<std::size_t>(upper - lower_ + 1) : 0);
    }
    void push_back(T value) { items_.push_back(std::move(value)); }

    const std::vector<T>& Items() const noexcept { return items_; }
    std::vector<T>& Items() noexcept { return items_; }
    auto begin() noexcept { return items_.begin(); }
    auto end() noexcept { return items_.end(); }
    auto begin() const noexcept { return items_.begin(); }
    auto end() const noexcept { return items_.end(); }

    friend bool operator==(const Array& a, const Array& b) {
        return a.lower_ == b.lower_ && a.items_ == b.items_;
    }

  private:
    std::size_t Offset(std::int32_t index) const {
        const std::int64_t offset = std::int64_t{index} - lower_;
        if (offset < 0 || offset >= static_cast<std::int64_t>(items_.size())) {
            RaiseSubscriptOutOfRange();
        }
        return static_cast<std::size_t>(offset);
    }

    std::int32_t lower_ = 0;
    std::vector<T> items_;
};

// A two-dimensional array; ReDimPreserve may change only the upper bound of the last
// dimension, as the runtime allowed.
template <class T>
class Array2D {
  public:
    Array2D() = default;
    Array2D(std::int32_t lower1, std::int32_t upper1, std::int32_t lower2, std::int32_t upper2) {
        ReDim(lower1, upper1, lower2, upper2);
    }

    std::int32_t LBound(int dimension) const {
        return Dimension(dimension) == 1 ? lower1_ : lower2_;
    }
    std::int32_t UBound(int dimension) const {
        return Dimension(dimension) == 1 ? lower1_ + count1_ - 1 : lower2_ + count2_ - 1;
    }

    T& operator()(std::int32_t i, std::int32_t j) { return items_[Offset(i, j)]; }
    const T& operator()(std::int32_t i, std::int32_t j) const { return items_[Offset(i, j)]; }

    void ReDim(std::int32_t lower1, std::int32_t upper1, std::int32_t lower2, std::int32_t upper2) {
        lower1_ = lower1;
        lower2_ = lower2;
        count1_ = upper1 >= lower1 ? upper1 - lower1 + 1 : 0;
        count2_ = upper2 >= lower2 ? upper2 - lower2 + 1 : 0;
        items_.assign(static_cast<std::size_t>(count1_) * static_cast<std::size_t>(count2_), T{});
    }
    void ReDimPreserve(std::int32_t upper2) {
        const std::int32_t newCount2 = upper2 >= lower2_ ? upper2 - lower2_ + 1 : 0;
        std::vector<T> moved(static_cast<std::size_t>(count1_) *
                             static_cast<std::size_t>(newCount2));
        for (std::int32_t i = 0; i < count1_; ++i) {
            for (std::int32_t j = 0; j < newCount2 && j < count2_; ++j) {
                moved[static_cast<std::size_t>(i * newCount2 + j)] =
                    std::move(items_[static_cast<std::size_t>(i * count2_ + j)]);
            }
        }
        items_ = std::move(moved);
        count2_ = newCount2;
    }

    friend bool operator==(const Array2D& a, const Array2D& b) {
        return a.lower1_ == b.lower1_ && a.lower2_ == b.lower2_ && a.count1_ == b.count1_ &&
               a.count2_ == b.count2_ && a.items_ == b.items_;
    }

  private:
    static int Dimension(int dimension) {
        if (dimension != 1 && dimension != 2) {
            RaiseSubscriptOutOfRange();
        }
        return dimension;
    }
    std::size_t Offset(std::int32_t i, std::int32_t j) const {
        const std::int64_t row = std::int64_t{i} - lower1_;
        const std::int64_t column = std::int64_t{j} - lower2_;
        if (row < 0 || row >= count1_ || column < 0 || column >= count2_) {
            RaiseSubscriptOutOfRange();
        }
        return static_cast<std::size_t>(row * count2_ + column);
    }

    std::int32_t lower1_ = 0;
    std::int32_t lower2_ = 0;
    std::int32_t count1_ = 0;
    std::int32_t count2_ = 0;
    std::vector<T> items_;
};

}  // namespace automation
