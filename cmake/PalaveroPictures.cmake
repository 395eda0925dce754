# palavero_render_png(<svg> <size> <png>)
# Renders the SVG to a square PNG of size x size pixels at build time; the PNG
# is the output of a custom command in the calling directory. One rule for the
# program's own pictures and the installed icons.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
function(palavero_render_png svg size png)
    get_filename_component(folder ${png} DIRECTORY)
    get_filename_component(name ${png} NAME)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --keep-aspect-ratio --output=${png} ${svg}
        DEPENDS ${svg}
        COMMENT "Rendering ${name} (${size}x${size})"
        VERBATIM)
endfunction()
