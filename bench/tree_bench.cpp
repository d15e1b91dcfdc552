// Builds a results-directory-like tree of about a million nodes the way the collection walk
// does (folders met while listing are walked at once, each folder's children sorted once
// when its listing ends) and reports the build time and the heap taken per node; then times
// the space figures' pass over a duplicates tree of as many nodes (groups of two and three).
//
//   tree_bench [nodes] [runs]
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "results/ResultTrees.h"
#include "results/SpaceFigures.h"
#include "results/TreeStore.h"
#include "TreePlan.h"

using namespace parelix;
using parelix::bench::Plan;
using parelix::bench::Rng;

namespace {

double sortSeconds = 0;

std::size_t build(TreeStore& t, const Plan& p, std::size_t& at, NodeId node) {
    std::size_t made = 0;
    const std::uint32_t children = p.childCount[at];
    for (std::uint32_t i = 0; i < children; ++i) {
        const std::size_t me = ++at;
        const std::string& name = p.names[me];
        const NodeId c = t.addChild(node, std::string(name.data(), name.size()));
        ++made;
        if (p.folder[me]) {
            t.setKind(c, NodeKind::Folder);
            t.setCounter(c, 0);
            made += build(t, p, at, c);
        } else {
            t.setKind(c, NodeKind::File);
            t.setCounter(c, 0);
        }
    }
    const auto s0 = std::chrono::steady_clock::now();
    t.sortChildren(node);
    sortSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - s0).count();
    return made;
}

// Bytes in use on the heap, the large blocks malloc maps on their own included.
std::size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

long vmRssKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Plans search roots, one after another, until the plan holds the target's nodes; the roots'
// places in the plan.
std::vector<std::size_t> planRoots(Plan& p, std::size_t target) {
    Rng rng{0x9E3779B97F4A7C15ull};
    std::vector<std::size_t> roots;
    while (p.names.size() < target) {
        roots.push_back(p.names.size());
        p.names.push_back(std::string(1, static_cast<char>('D' + roots.size() % 20)) + ":\\Donnees");
        p.folder.push_back(1);
        p.childCount.push_back(0);
        plan(p, rng, target, 0);
    }
    return roots;
}

// The heap the first `nodes` texts of the plan take as strings of their own, beyond the
// vector that holds them.
std::size_t textsOwnHeap(const Plan& p, std::size_t nodes) {
    std::vector<std::string> texts;
    texts.reserve(nodes);
    const std::size_t heap0 = heapInUse();
    for (std::size_t i = 0; i < nodes; ++i) texts.emplace_back(p.names[i].data(), p.names[i].size());
    return heapInUse() - heap0;
}

// One run: the store built from the plan, measured and freed; prints its line.
void measureRun(int run, const Plan& p, const std::vector<std::size_t>& roots, std::size_t textBytes) {
    malloc_trim(0);
    const std::size_t heap0 = heapInUse();
    const long rss0 = vmRssKiB();
    const auto t0 = std::chrono::steady_clock::now();
    sortSeconds = 0;
    auto* store = new TreeStore;
    std::size_t nodes = 0;
    for (std::size_t r : roots) {
        const NodeId root = store->addChild(kNoNode, p.names[r]);
        store->setKind(root, NodeKind::Folder);
        store->setCounter(root, 0);
        std::size_t at = r;
        nodes += 1 + build(*store, p, at, root);
    }
    const auto t1 = std::chrono::steady_clock::now();
    const std::size_t heap = heapInUse() - heap0;
    const long rss = vmRssKiB() - rss0;

    // The same tree with its texts alone (no store) gives the heap the texts cost.
    const std::size_t textHeap = textsOwnHeap(p, nodes);

    const auto t2 = std::chrono::steady_clock::now();
    delete store;
    const auto t3 = std::chrono::steady_clock::now();

    const double n = static_cast<double>(nodes);
    std::printf(
        "run %d: %zu nodes, build %.3f s (sorting %.3f s), free %.3f s; heap %.1f B/node (texts' own heap %.1f, "
        "payload %.1f; without text %.1f); VmRSS +%.1f B/node\n",
        run + 1, nodes, std::chrono::duration<double>(t1 - t0).count(), sortSeconds,
        std::chrono::duration<double>(t3 - t2).count(), static_cast<double>(heap) / n,
        static_cast<double>(textHeap) / n, static_cast<double>(textBytes) / n,
        static_cast<double>(heap) / n - static_cast<double>(textHeap) / n,
        static_cast<double>(rss) * 1024.0 / n);
}

// The pass behind the space figures, once per search and per deletion, over a duplicates
// tree of about `nodes` nodes.
void measureSpaceFigures(std::size_t nodes) {
    TreeStore dbl;
    std::size_t made = 0;
    for (std::uint64_t g = 0; made < nodes; ++g) {
        const std::uint64_t size = 1000 + g * 7919 % 5'000'000;
        const NodeId group = dbl.addChild(kNoNode, "(" + std::to_string(size) + ")");
        dbl.setBytes(group, size);
        const int members = g % 3 == 0 ? 3 : 2;
        for (int m = 0; m < members; ++m) dbl.addChild(group, "C:\\Donnees\\f" + std::to_string(g) + "_" + std::to_string(m));
        made += 1 + static_cast<std::size_t>(members);
    }
    double best = 1e9;
    ExtraCopies extra;
    for (int run = 0; run < 5; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        extra = extraCopies(dbl);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::printf("space figures: %zu nodes, %zu groups, %llu extra copies; one pass %.2f ms (best of 5)\n", made,
                static_cast<std::size_t>(dbl.childCount(kNoNode)), static_cast<unsigned long long>(extra.files),
                best * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t target = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1'000'000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;

    Plan p;
    const std::vector<std::size_t> roots = planRoots(p, target);
    std::size_t textBytes = 0;
    for (const auto& n : p.names) textBytes += n.size();
    std::printf("plan: %zu nodes, %zu search roots, mean text %.1f bytes\n", p.names.size(), roots.size(),
                static_cast<double>(textBytes) / static_cast<double>(p.names.size()));

    for (int run = 0; run < runs; ++run) measureRun(run, p, roots, textBytes);
    measureSpaceFigures(target);
    return 0;
}
