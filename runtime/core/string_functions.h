// Text and number commands: searching, cutting, replacing, case, codes, formatting,
// trigonometry in degrees, the ISAAC random generator.
#pragma once

#include <cstdint>

#include "runtime/core/dyn_string.h"

namespace runtime {

double find_text(const DynString& haystack, const DynString& needle);
double find_text(const DynString& haystack, const char* needle);
double find_text(const char* haystack, const DynString& needle);
double find_text(const char* haystack, const char* needle);
DynString mid_text(const DynString& s, double start, double count);
DynString replace_all(const DynString& text, const DynString& search, const DynString& replacement);
DynString to_upper_copy(const DynString& s);
DynString to_lower_copy(const DynString& s);
double text_length(const DynString& s);
double number_text_length(double x);
double char_code(const DynString& s);
DynString char_text(double code);
DynString bytes_to_hex(const uint8_t* bytes, double count);
DynString format_number(double width, double decimals, double value);
void debug_print(const DynString& message);

// Position of the first byte of text that is (not) in set; -1 when there is none.
int find_first_of(const char* text, const char* set);
int find_first_not_of(const char* text, const char* set);

double sin_deg(double angle);
double cos_deg(double angle);
double tan_deg(double angle);
double atan_deg(double y, double x);
double asin_deg(double x);
double acos_deg(double x);
double square_root(double x);
double absolute(double x);
double power(double base, double exponent);
double int_mod(double a, double b);
double random_int(double n);
void seed_random(uint32_t seed);
double boxes_overlap(double x1, double y1, double w1, double h1,
                     double x2, double y2, double w2, double h2);

// The ISAAC generator's state; a default-constructed record is all zero (unseeded).
struct RandomState {
    uint32_t memory[256] = {};
    uint32_t results[256] = {};
    uint32_t accumulator = 0;
    uint32_t last_result = 0;
    uint32_t counter = 0;
};
RandomState& random_state();
// One generator call: a full ISAAC pass; returns the first word of the result block.
uint32_t random_next();

}  // namespace runtime
