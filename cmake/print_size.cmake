# cmake -DFILE=path -P print_size.cmake: prints a file's size in bytes.
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
message("${name}: ${size} bytes")
