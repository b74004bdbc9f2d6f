#pragma once
// Human-readable model names for hardware model identifiers.
//
// Threads: constant data and pure functions; any thread may call them.

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace hx {

// One row of the table: up to four identifiers (unused ones empty) that share a model name.
struct ModelNameRow {
    std::array<std::string_view, 4> identifiers;
    std::string_view name;
};

// Every row, each identifier in exactly one row.
std::span<const ModelNameRow> modelNameTable();

// The model name of the identifier by the table. An identifier the table lacks is returned
// unchanged, except a simulator's ("x86_64" or anything ending in "86"), which is named after the
// screen: a phone simulator below 768 points of width, else a tablet simulator.
std::string modelNameForModelIdentifier(std::string_view identifier, double mainScreenWidth);

}  // namespace hx
