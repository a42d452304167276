# Installs the desktop component into a scratch prefix and checks what lands
# there: the menu entry, the MIME package, the thumbnailer, the AppStream
# record and the icon at every size. Where the
# freedesktop tools are present, the files are also run through them.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<scratch> -P CheckInstall.cmake

file(REMOVE_RECURSE ${PREFIX})
execute_process(
    COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --component desktop
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed (${rc}):\n${out}")
endif()

set(share ${PREFIX}/share)
foreach(f applications/vantrel.desktop mime/packages/vantrel.xml thumbnailers/vantrel.thumbnailer
        metainfo/io.vantrel.vantrel.metainfo.xml)
    if(NOT EXISTS ${share}/${f})
        message(FATAL_ERROR "not installed: share/${f}")
    endif()
endforeach()

# Each icon is a PNG of the size its folder names (width and height sit at
# bytes 16-23, in the IHDR chunk).
foreach(size 16 32 48 64 128 256)
    set(icon ${share}/icons/hicolor/${size}x${size}/apps/vantrel.png)
    if(NOT EXISTS ${icon})
        message(FATAL_ERROR "icon not installed: ${icon}")
    endif()
    file(READ ${icon} head LIMIT 24 HEX)
    string(SUBSTRING "${head}" 0 16 signature)
    string(SUBSTRING "${head}" 32 8 width)
    string(SUBSTRING "${head}" 40 8 height)
    math(EXPR want "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(REPLACE "0x" "" want "${want}")
    string(LENGTH "${want}" len)
    while(len LESS 8)
        string(PREPEND want "0")
        math(EXPR len "${len} + 1")
    endwhile()
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width STREQUAL want OR NOT height STREQUAL want)
        message(FATAL_ERROR "${icon} is not a ${size}x${size} PNG (${signature} ${width} ${height})")
    endif()
endforeach()

file(READ ${share}/applications/vantrel.desktop desktop)
foreach(line "Exec=vantrel %f" "Icon=vantrel" "MimeType=application/vnd.adobe.flash.movie;application/x-shockwave-flash;")
    string(FIND "${desktop}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "vantrel.desktop lacks '${line}'")
    endif()
endforeach()

# The thumbnailer is called with the size, the file's URI and the output path,
# for both names of the movie type.
file(READ ${share}/thumbnailers/vantrel.thumbnailer thumbnailer)
foreach(line "Exec=vantrel-thumbnailer -s %s %u %o" "MimeType=application/vnd.adobe.flash.movie;application/x-shockwave-flash;")
    string(FIND "${thumbnailer}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "vantrel.thumbnailer lacks '${line}'")
    endif()
endforeach()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
    execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${share}/applications/vantrel.desktop
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
        message(FATAL_ERROR "desktop-file-validate:\n${out}")
    endif()
else()
    message(STATUS "desktop-file-validate not found; entry not validated")
endif()

# Compiling the MIME package proves it parses, and shows what it registers.
find_program(UPDATE_MIME_DATABASE update-mime-database)
if(UPDATE_MIME_DATABASE)
    execute_process(COMMAND ${UPDATE_MIME_DATABASE} ${share}/mime
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR out MATCHES "[Ee]rror|[Ww]arning|[Ff]ailed")
        message(FATAL_ERROR "update-mime-database:\n${out}")
    endif()
    # Our package only adds the ZWS signature to the shared type: on its own
    # it registers no glob and no second type for .swf files.
    file(READ ${share}/mime/types types)
    if(NOT types STREQUAL "application/vnd.adobe.flash.movie\n")
        message(FATAL_ERROR "the MIME package declares other types:\n${types}")
    endif()
    file(READ ${share}/mime/globs2 globs)
    if(globs MATCHES "swf")
        message(FATAL_ERROR "the MIME package claims a glob of its own:\n${globs}")
    endif()
    file(STRINGS ${share}/mime/magic magic)
    string(FIND "${magic}" "[50:application/vnd.adobe.flash.movie]" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "no magic rule for application/vnd.adobe.flash.movie")
    endif()
    string(FIND "${magic}" "ZWS" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "no ZWS magic registered")
    endif()
else()
    message(STATUS "update-mime-database not found; MIME package not compiled")
endif()
