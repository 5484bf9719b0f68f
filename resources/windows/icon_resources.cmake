# Writes the program's icon as resource-script data: one RT_ICON image for each
# bitmap given and the RT_GROUP_ICON directory that lists them, so the icon needs no
# .ico file and no tool beyond CMake.
#   cmake -DOUTPUT=icons.rc -DINPUTS="a.bmp|b.bmp" -P icon_resources.cmake
# Each bitmap is an uncompressed 4- or 24-bit BMP; its icon image is the bitmap's
# DIB with the height doubled and an all-opaque AND mask after the colours.
string(REPLACE "|" ";" inputs "${INPUTS}")

# A little-endian unsigned value of `bytes` bytes at byte `offset` of a hex string.
function(read_le hex offset bytes out)
  set(value 0)
  math(EXPR last "${bytes} - 1")
  foreach(i RANGE ${last} 0 -1)
    math(EXPR at "(${offset} + ${i}) * 2")
    string(SUBSTRING "${hex}" ${at} 2 byte)
    math(EXPR value "${value} * 256 + 0x${byte}")
  endforeach()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# `value` as 32-bit little-endian hex.
function(le32 value out)
  math(EXPR big "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${big}" 2 -1 digits)
  string(LENGTH "${digits}" n)
  while(n LESS 8)
    string(PREPEND digits "0")
    math(EXPR n "${n} + 1")
  endwhile()
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" little "${digits}")
  set(${out} ${little} PARENT_SCOPE)
endfunction()

# Hex bytes (an even number of them) as the 16-bit words a resource script takes.
function(as_words hex out)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])([0-9a-f][0-9a-f])" "0x\\2\\1," words "${hex}")
  string(REGEX REPLACE "((0x....,){12})" "\\1\n  " words "${words}")
  string(REGEX REPLACE ",$" "" words "${words}")
  set(${out} "${words}" PARENT_SCOPE)
endfunction()

set(script "// Generated from the program's icon bitmaps; do not edit.\n")
set(directory "")
set(id 1)
set(count 0)
foreach(bmp IN LISTS inputs)
  file(READ "${bmp}" hex HEX)
  string(TOLOWER "${hex}" hex)
  read_le("${hex}" 18 4 width)
  read_le("${hex}" 22 4 height)
  read_le("${hex}" 28 2 bits)
  read_le("${hex}" 30 4 compression)
  if(NOT compression EQUAL 0 OR NOT (bits EQUAL 4 OR bits EQUAL 24))
    message(FATAL_ERROR "${bmp}: only uncompressed 4- and 24-bit bitmaps make icons here")
  endif()
  # The DIB: everything after the 14-byte file header, with the height doubled.
  string(SUBSTRING "${hex}" 28 -1 dib)
  math(EXPR doubled "${height} * 2")
  le32(${doubled} doubledHex)
  string(SUBSTRING "${dib}" 0 16 head)
  string(SUBSTRING "${dib}" 24 -1 tail)
  set(dib "${head}${doubledHex}${tail}")
  # The AND mask: one bit a pixel, rows padded to 32 bits, all zero (opaque).
  math(EXPR maskBytes "(${width} + 31) / 32 * 4 * ${height}")
  string(REPEAT "00" ${maskBytes} mask)
  string(APPEND dib "${mask}")
  string(LENGTH "${dib}" digits)
  math(EXPR size "${digits} / 2")
  as_words("${dib}" words)
  string(APPEND script "${id} 3\nBEGIN\n  ${words}\nEND\n\n")
  # Its entry in the directory: size, colours, planes, bits, bytes and id.
  set(colors 0)
  if(bits EQUAL 4)
    set(colors 16)
  endif()
  math(EXPR dims "(${width} % 256) + (${height} % 256) * 256")
  math(EXPR sizeLow "${size} % 65536")
  math(EXPR sizeHigh "${size} / 65536")
  string(APPEND directory ", ${dims}, ${colors}, 1, ${bits}, ${sizeLow}, ${sizeHigh}, ${id}")
  math(EXPR id "${id} + 1")
  math(EXPR count "${count} + 1")
endforeach()
# The program's icon is the first icon group in the file.
string(APPEND script "1 14\nBEGIN\n  0, 1, ${count}${directory}\nEND\n")
file(WRITE "${OUTPUT}" "${script}")
