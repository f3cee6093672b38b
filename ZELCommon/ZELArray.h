// CZELArray<T>: the growable array every list crossing a module boundary uses. Each module
// instantiates it from this header, so its members and their order are part of the shared layout:
// element block (new[]), count, capacity, growth step. All modules share one heap, so a block made
// in one module may be freed in another.
#pragma once

#include <new>

template <typename T> class CZELArray {
public:
    CZELArray() : items(nullptr), count(0), capacity(0), growBy(10) {}

    // n copies of value. A growth step of n keeps the shared layout; an empty array still grows.
    CZELArray(int n, const T& value) : items(nullptr), count(0), capacity(0), growBy(n > 0 ? n : 10)
    {
        if (n <= 0) return;
        items = new (std::nothrow) T[n];
        if (!items) return;
        for (int i = 0; i < n; ++i) items[i] = value;
        count = capacity = n;
    }

    CZELArray(const CZELArray& other) : items(nullptr), count(0), capacity(0), growBy(other.growBy)
    {
        CopyFrom(other);
    }

    CZELArray& operator=(const CZELArray& other)
    {
        if (this == &other) return *this;
        delete[] items;
        items = nullptr;
        count = capacity = 0;
        growBy = other.growBy;
        CopyFrom(other);
        return *this;
    }

    virtual ~CZELArray() { delete[] items; }

    // Appends a copy of element; returns its index, or -1 when the block could not grow.
    int Add(const T& element)
    {
        if (count == capacity) {
            // Grow by the step, or by half the capacity once that is larger, so long lists fill
            // in linear time.
            int step = growBy > capacity / 2 ? growBy : capacity / 2;
            T* grown = new (std::nothrow) T[capacity + step];
            if (!grown) return -1;
            for (int i = 0; i < count; ++i) grown[i] = items[i];
            grown[count] = element;  // before the old block goes: element may be one of its items
            delete[] items;
            items = grown;
            capacity += step;
            return count++;
        }
        items[count] = element;
        return count++;
    }

    void RemoveAt(int index)
    {
        if (index < 0 || index >= count) return;
        for (int i = index; i + 1 < count; ++i) items[i] = items[i + 1];
        --count;
        items[count] = T();  // let go of what the last slot held
    }

    int GetCount() const { return count; }
    int GetCapacity() const { return capacity; }
    T& operator[](int index) { return items[index]; }
    const T& operator[](int index) const { return items[index]; }

private:
    void CopyFrom(const CZELArray& other)
    {
        if (other.capacity <= 0) return;
        items = new (std::nothrow) T[other.capacity];
        if (!items) return;
        for (int i = 0; i < other.count; ++i) items[i] = other.items[i];
        count = other.count;
        capacity = other.capacity;
    }

    T* items;
    int count;
    int capacity;
    int growBy;
};
