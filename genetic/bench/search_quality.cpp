// Quality and time of the memetic ordering search on DSM files (a header row of element
// names, then one row per element: its name and 0/1 cells). The matrix is split into its
// strongly connected blocks first, as the package does, and each block searched on its
// own: feedback between blocks can always be avoided.
//
//   search_quality FILE... [--runs N] [--seconds S] [--stagnation N] [--generations N]
//                          [--population N] [--target T] [--whole]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "search/mark_graph.hpp"
#include "search/memetic.hpp"

namespace {

using Marks = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

struct Matrix {
  std::uint64_t dimension = 0;
  Marks marks;
};

Matrix read_csv(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(2);
  }
  Matrix matrix;
  std::string line;
  std::getline(in, line);
  matrix.dimension = static_cast<std::uint64_t>(std::count(line.begin(), line.end(), ','));
  for (std::uint64_t row = 0; std::getline(in, line); ++row) {
    std::istringstream cells(line);
    std::string cell;
    std::getline(cells, cell, ',');  // the element's name
    for (std::uint64_t column = 0; std::getline(cells, cell, ','); ++column)
      if (cell == "1") matrix.marks.emplace_back(row, column);
  }
  return matrix;
}

// Strongly connected components (iterative Tarjan), as lists of elements.
std::vector<std::vector<std::uint64_t>> blocks(const Matrix& matrix) {
  const std::uint64_t n = matrix.dimension;
  std::vector<std::vector<std::uint64_t>> out(n);
  for (const auto& [row, column] : matrix.marks) out[row].push_back(column);
  constexpr std::uint64_t kUnseen = ~std::uint64_t{0};
  std::vector<std::uint64_t> index(n, kUnseen), low(n, 0), stack, edge(n, 0);
  std::vector<bool> on_stack(n, false);
  std::vector<std::vector<std::uint64_t>> found;
  std::uint64_t counter = 0;
  for (std::uint64_t root = 0; root < n; ++root) {
    if (index[root] != kUnseen) continue;
    std::vector<std::uint64_t> path{root};
    index[root] = low[root] = counter++;
    stack.push_back(root);
    on_stack[root] = true;
    while (!path.empty()) {
      const std::uint64_t v = path.back();
      if (edge[v] < out[v].size()) {
        const std::uint64_t w = out[v][edge[v]++];
        if (index[w] == kUnseen) {
          index[w] = low[w] = counter++;
          stack.push_back(w);
          on_stack[w] = true;
          path.push_back(w);
        } else if (on_stack[w]) {
          low[v] = std::min(low[v], index[w]);
        }
        continue;
      }
      path.pop_back();
      if (!path.empty()) low[path.back()] = std::min(low[path.back()], low[v]);
      if (low[v] != index[v]) continue;
      std::vector<std::uint64_t> block;
      std::uint64_t w;
      do {
        w = stack.back();
        stack.pop_back();
        on_stack[w] = false;
        block.push_back(w);
      } while (w != v);
      std::sort(block.begin(), block.end());
      found.push_back(std::move(block));
    }
  }
  return found;
}

// The marks inside a block, renumbered to the block's own elements.
genetic::MarkGraph block_graph(const Matrix& matrix, const std::vector<std::uint64_t>& block) {
  std::vector<std::uint64_t> local(matrix.dimension, ~std::uint64_t{0});
  for (std::uint64_t k = 0; k < block.size(); ++k) local[block[k]] = k;
  Marks marks;
  for (const auto& [row, column] : matrix.marks)
    if (local[row] != ~std::uint64_t{0} && local[column] != ~std::uint64_t{0})
      marks.emplace_back(local[row], local[column]);
  return genetic::MarkGraph(block.size(), marks);
}

std::uint64_t number(const char* text) { return std::strtoull(text, nullptr, 10); }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  std::uint64_t runs = 10;
  std::optional<std::uint64_t> target;
  bool whole = false;
  genetic::SearchSettings settings;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    const bool has_value = k + 1 < argc;
    if (arg == "--runs" && has_value)
      runs = number(argv[++k]);
    else if (arg == "--seconds" && has_value)
      settings.seconds = std::strtod(argv[++k], nullptr);
    else if (arg == "--stagnation" && has_value)
      settings.n_stagnation = number(argv[++k]);
    else if (arg == "--generations" && has_value)
      settings.n_generations = number(argv[++k]);
    else if (arg == "--population" && has_value)
      settings.n_population = number(argv[++k]);
    else if (arg == "--target" && has_value)
      target = number(argv[++k]);
    else if (arg == "--whole")
      whole = true;
    else
      files.push_back(arg);
  }
  for (const std::string& file : files) {
    const Matrix matrix = read_csv(file);
    std::vector<std::vector<std::uint64_t>> parts;
    if (whole) {
      parts.emplace_back(matrix.dimension);
      for (std::uint64_t e = 0; e < matrix.dimension; ++e) parts[0][e] = e;
    } else {
      for (auto& block : blocks(matrix))
        if (block.size() > 1) parts.push_back(std::move(block));
    }
    std::vector<genetic::MarkGraph> graphs;
    std::string sizes;
    for (const auto& part : parts) {
      graphs.push_back(block_graph(matrix, part));
      sizes += (sizes.empty() ? "" : ",") + std::to_string(part.size());
    }
    std::printf("%s: %llu elements, %zu marks, blocks searched: %s\n", file.c_str(),
                static_cast<unsigned long long>(matrix.dimension), matrix.marks.size(), sizes.c_str());
    std::uint64_t hits = 0;
    double total_seconds = 0, worst_seconds = 0;
    for (std::uint64_t run = 0; run < runs; ++run) {
      const auto started = std::chrono::steady_clock::now();
      std::uint64_t feedback = 0, generations = 0;
      for (const auto& graph : graphs) {
        const auto result = genetic::memetic_search(graph, settings, {}, {});
        if (graph.feedback(result.order) != result.feedback) {
          std::fprintf(stderr, "reported feedback differs from the ordering's\n");
          return 1;
        }
        feedback += result.feedback;
        generations += result.generations;
      }
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      total_seconds += seconds;
      worst_seconds = std::max(worst_seconds, seconds);
      hits += target && feedback <= *target;
      std::printf("  run %2llu: feedback %llu, %.3f s, %llu generations\n", static_cast<unsigned long long>(run + 1),
                  static_cast<unsigned long long>(feedback), seconds, static_cast<unsigned long long>(generations));
    }
    std::printf("  mean %.3f s, worst %.3f s", total_seconds / static_cast<double>(runs), worst_seconds);
    if (target)
      std::printf(", target %llu reached in %llu of %llu runs", static_cast<unsigned long long>(*target),
                  static_cast<unsigned long long>(hits), static_cast<unsigned long long>(runs));
    std::printf("\n");
  }
  return 0;
}
