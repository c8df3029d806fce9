// Guards the build flags: GCC 12's -O3 SLP vectoriser reuses the unrounded double of a value
// that the source stores as float, when two loops of the engine's kind are inlined together.
// Compiled with the project's flags, the fused and the split computation must agree.
#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct Lay {
    float a[10], o[10], d[10], b[10];
};

inline void Part1(Lay* L) {
    for (int j = 0; j < 10; ++j) {
        const double o = L->o[j];
        L->d[j] = static_cast<float>((1.0 - o * o) * static_cast<double>(L->a[j]) / 2.0);
    }
}

inline void Part2(Lay* L, float ni) {
    double g[10];
    for (int i = 0; i < 10; ++i)
        g[i] = 2.0 * static_cast<double>(ni) * static_cast<double>(L->d[i]);
    for (int i = 0; i < 10; ++i)
        L->b[i] = static_cast<float>(static_cast<double>(L->b[i]) + g[i]);
}

__attribute__((noinline)) void Fused(Lay* L, float ni) {
    Part1(L);
    Part2(L, ni);
}
__attribute__((noinline)) void Split1(Lay* L) {
    Part1(L);
}
__attribute__((noinline)) void Split2(Lay* L, float ni) {
    Part2(L, ni);
}

TEST(CompilerRounding, StoredFloatRoundingIsKeptAcrossInlinedLoops) {
    Lay A{}, B{};
    uint32_t s = 1;
    auto next = [&s] {
        s = s * 1664525u + 1013904223u;
        return static_cast<float>(s >> 8) / 16777216.0f;
    };
    int differences = 0;
    for (int t = 0; t < 100000; ++t) {
        for (int i = 0; i < 10; ++i) {
            A.a[i] = next() - 0.5f;
            A.o[i] = next() * 2 - 1;
            A.b[i] = next() - 0.5f;
        }
        B = A;
        Fused(&A, 0.1f);
        Split1(&B);
        Split2(&B, 0.1f);
        for (int i = 0; i < 10; ++i)
            differences += A.b[i] != B.b[i];
    }
    EXPECT_EQ(differences, 0);
}

}  // namespace
