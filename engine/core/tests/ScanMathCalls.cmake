# cmake -DROOT=<source tree> -P ScanMathCalls.cmake
#   Fails if engine/ or game/ (tests and FloatMath aside) call a C library
#   transcendental: their last bits differ between library versions and
#   architectures, so they go through engine/core/FloatMath.h.
# cmake -DSELF_TEST=<scratch folder> -P ScanMathCalls.cmake
#   Writes calls the scan must catch and ones it must let pass, and checks it.
cmake_minimum_required(VERSION 3.25)

set(names "sin|cos|tan|asin|acos|atan|atan2|sinh|cosh|tanh|asinh|acosh|atanh|sincos|exp|exp2|expm1|exp10|log|log2|log10|log1p|pow|cbrt|hypot|fmod|remainder|erf|erfc|lgamma|tgamma")
# A call, bare or through std:: or ::, with an f or l suffix or none; not a
# member (x.sin(, p->sin() nor part of a longer name.
set(call "(^|[^A-Za-z0-9_.>]|[^-]>)(std::|::)?(${names})[fl]?[ \t]*\\(")

# Lines of <file> that call one, comments dropped, into <out>.
function(scan_file file out)
  set(found "")
  file(READ ${file} text)
  if(text MATCHES "${call}")
    # One list element a line: semicolons and brackets would split or join.
    string(REPLACE ";" "@SC@" text "${text}")
    string(REPLACE "[" "@LB@" text "${text}")
    string(REPLACE "]" "@RB@" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "//.*" "" code "${line}")
      string(REGEX REPLACE "/\\*([^*]|\\*[^/])*\\*/" "" code "${code}")
      if(code MATCHES "${call}")
        string(STRIP "${line}" line)
        string(REPLACE "@LB@" "[" line "${line}")
        string(REPLACE "@RB@" "]" line "${line}")
        list(APPEND found "${line}")
      endif()
    endforeach()
  endif()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

if(SELF_TEST)
  set(caught "std::sin(a)" "x = sinf(a)" "::cos(a)" "f(std::atan2 (y, x))" "powl(a, b)" "(exp(a))"
             "std::fmod(a, b)" "a = log10f(b)" "x[sin(a)]" "a = 1@SC@ b = tan(a)@SC@")
  set(passed "SinF(a)" "basin(a)" "m.sin(a)" "p->cos(a)" "// std::sin(a)" "f(/* sin(a) */ 1)" "std::sqrt(a)"
             "CosF(a)@SC@ // cos(a)" "sine(a)" "explode(a)" "asinh" "a[1]@SC@ // b@SC@ sin(a)")
  foreach(kind caught passed)
    foreach(line IN LISTS ${kind})
      string(REPLACE "@SC@" ";" text "${line}\n")
      file(WRITE ${SELF_TEST}/probe.cpp "${text}")
      scan_file(${SELF_TEST}/probe.cpp found)
      if((kind STREQUAL "caught" AND NOT found) OR (kind STREQUAL "passed" AND found))
        message(SEND_ERROR "scan gets \"${line}\" wrong: should be ${kind}")
      endif()
    endforeach()
  endforeach()
  return()
endif()

file(GLOB_RECURSE sources ${ROOT}/engine/*.h ${ROOT}/engine/*.cpp ${ROOT}/game/*.h ${ROOT}/game/*.cpp)
list(FILTER sources EXCLUDE REGEX "/tests/|/engine/core/FloatMath\\.(h|cpp)$")
set(bad 0)
foreach(file IN LISTS sources)
  scan_file(${file} found)
  foreach(line IN LISTS found)
    file(RELATIVE_PATH where ${ROOT} ${file})
    string(REPLACE "@SC@" ";" line "${line}")
    message("${where}: ${line}")
    math(EXPR bad "${bad} + 1")
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "${bad} call(s) of the C library's transcendentals: use engine/core/FloatMath.h")
endif()
