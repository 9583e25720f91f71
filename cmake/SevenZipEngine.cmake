# The archive engine of the stub: the 7-Zip 7z handler with its decoders and
# the common extraction layer, compiled from the engine's source. Windows
# builds only; the builder and the native tests never extract.
if(NOT WIN32)
  return()
endif()

set(_sz "${SEVENZIP_ROOT}")

set(SEVENZIP_ENGINE_SOURCES
  # 7z archive handler, the only format registered (through
  # setup/extraction/engine/SevenZipFormat.cpp).
  ${_sz}/CPP/7zip/Archive/7z/7zDecode.cpp
  ${_sz}/CPP/7zip/Archive/7z/7zExtract.cpp
  ${_sz}/CPP/7zip/Archive/7z/7zHandler.cpp
  ${_sz}/CPP/7zip/Archive/7z/7zIn.cpp
  ${_sz}/CPP/7zip/Archive/Common/CoderMixer2.cpp

  # Decoders and filters: every method 7-Zip writes into a 7z archive
  # (core/payload/Decoders.h lists them).
  ${_sz}/CPP/7zip/Compress/Bcj2Coder.cpp
  ${_sz}/CPP/7zip/Compress/Bcj2Register.cpp
  ${_sz}/CPP/7zip/Compress/BcjCoder.cpp
  ${_sz}/CPP/7zip/Compress/BcjRegister.cpp
  ${_sz}/CPP/7zip/Compress/BitlDecoder.cpp
  ${_sz}/CPP/7zip/Compress/BranchMisc.cpp
  ${_sz}/CPP/7zip/Compress/BranchRegister.cpp
  ${_sz}/CPP/7zip/Compress/ByteSwap.cpp
  ${_sz}/CPP/7zip/Compress/BZip2Crc.cpp
  ${_sz}/CPP/7zip/Compress/BZip2Decoder.cpp
  ${_sz}/CPP/7zip/Compress/BZip2Register.cpp
  ${_sz}/CPP/7zip/Compress/CopyCoder.cpp
  ${_sz}/CPP/7zip/Compress/CopyRegister.cpp
  ${_sz}/CPP/7zip/Compress/Deflate64Register.cpp
  ${_sz}/CPP/7zip/Compress/DeflateDecoder.cpp
  ${_sz}/CPP/7zip/Compress/DeflateRegister.cpp
  ${_sz}/CPP/7zip/Compress/DeltaFilter.cpp
  ${_sz}/CPP/7zip/Compress/LzOutWindow.cpp
  ${_sz}/CPP/7zip/Compress/Lzma2Decoder.cpp
  ${_sz}/CPP/7zip/Compress/Lzma2Register.cpp
  ${_sz}/CPP/7zip/Compress/LzmaDecoder.cpp
  ${_sz}/CPP/7zip/Compress/LzmaRegister.cpp
  ${_sz}/CPP/7zip/Compress/PpmdDecoder.cpp
  ${_sz}/CPP/7zip/Compress/PpmdRegister.cpp
  ${_sz}/C/Bcj2.c
  ${_sz}/C/Bra.c
  ${_sz}/C/Bra86.c
  ${_sz}/C/Delta.c
  ${_sz}/C/Lzma2Dec.c
  ${_sz}/C/Lzma2DecMt.c
  ${_sz}/C/LzmaDec.c
  ${_sz}/C/MtDec.c
  ${_sz}/C/Ppmd7.c
  ${_sz}/C/Ppmd7Dec.c
  ${_sz}/C/SwapBytes.c

  # 7zAES: AES-256 (from sevenzip_aes) keyed through SHA-256.
  ${_sz}/CPP/7zip/Crypto/7zAes.cpp
  ${_sz}/CPP/7zip/Crypto/7zAesRegister.cpp
  ${_sz}/CPP/7zip/Crypto/MyAes.cpp
  ${_sz}/CPP/Common/Sha256Prepare.cpp
  ${_sz}/C/Sha256.c
  ${_sz}/C/Sha256Opt.c

  # Common engine support: strings, streams, CRC, threads, memory, files.
  ${_sz}/CPP/Common/CRC.cpp
  ${_sz}/CPP/Common/IntToString.cpp
  ${_sz}/CPP/Common/MyString.cpp
  ${_sz}/CPP/Common/Wildcard.cpp
  ${_sz}/CPP/Windows/ErrorMsg.cpp
  ${_sz}/CPP/Windows/FileDir.cpp
  ${_sz}/CPP/Windows/FileFind.cpp
  ${_sz}/CPP/Windows/FileIO.cpp
  ${_sz}/CPP/Windows/FileName.cpp
  ${_sz}/CPP/Windows/PropVariant.cpp
  ${_sz}/CPP/Windows/System.cpp
  ${_sz}/CPP/Windows/TimeUtils.cpp
  ${_sz}/CPP/7zip/Common/CreateCoder.cpp
  ${_sz}/CPP/7zip/Common/CWrappers.cpp
  ${_sz}/CPP/7zip/Common/FilePathAutoRename.cpp
  ${_sz}/CPP/7zip/Common/FileStreams.cpp
  ${_sz}/CPP/7zip/Common/FilterCoder.cpp
  ${_sz}/CPP/7zip/Common/InBuffer.cpp
  ${_sz}/CPP/7zip/Common/LimitedStreams.cpp
  ${_sz}/CPP/7zip/Common/OutBuffer.cpp
  ${_sz}/CPP/7zip/Common/ProgressUtils.cpp
  ${_sz}/CPP/7zip/Common/StreamBinder.cpp
  ${_sz}/CPP/7zip/Common/StreamObjects.cpp
  ${_sz}/CPP/7zip/Common/StreamUtils.cpp
  ${_sz}/CPP/7zip/Common/VirtThread.cpp
  ${_sz}/C/7zCrc.c
  ${_sz}/C/7zCrcOpt.c
  ${_sz}/C/7zStream.c
  ${_sz}/C/Alloc.c
  ${_sz}/C/Threads.c

  # Common extraction layer: codec registry, opening, extraction callback.
  ${_sz}/CPP/7zip/UI/Common/ArchiveExtractCallback.cpp
  ${_sz}/CPP/7zip/UI/Common/ArchiveOpenCallback.cpp
  ${_sz}/CPP/7zip/UI/Common/DefaultName.cpp
  ${_sz}/CPP/7zip/UI/Common/Extract.cpp
  ${_sz}/CPP/7zip/UI/Common/ExtractingFilePath.cpp
  ${_sz}/CPP/7zip/UI/Common/LoadCodecs.cpp
  ${_sz}/CPP/7zip/UI/Common/OpenArchive.cpp)

# Our glue: the one translation unit that defines the interface GUIDs, and
# the 7z format's registration.
add_library(sevenzip_engine_glue OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/../setup/extraction/engine/EngineGuids.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../setup/extraction/engine/SevenZipFormat.cpp)
setupsfx_warnings(sevenzip_engine_glue)
target_include_directories(sevenzip_engine_glue PRIVATE ${PROJECT_SOURCE_DIR})

add_library(sevenzip_engine STATIC
  ${SEVENZIP_ENGINE_SOURCES}
  $<TARGET_OBJECTS:sevenzip_engine_glue>)

foreach(target sevenzip_engine sevenzip_engine_glue)
  # Z7_SFX selects the engine's stand-alone extractor configuration: the 7z
  # handler searches for the archive signature itself, and hashing, update
  # and plug-in paths are left out. Z7_EXTRACT_ONLY drops every encoder.
  # Both change class layouts and the signature of Extract, so consumers
  # compile with them too.
  target_compile_definitions(${target} PUBLIC
    UNICODE _UNICODE Z7_SFX Z7_EXTRACT_ONLY)
  target_include_directories(${target} SYSTEM PUBLIC ${_sz}/CPP ${_sz}/C)
endforeach()

# oleaut32: BSTR and VARIANT; uuid: IID_IUnknown; user32: CharUpperW.
target_link_libraries(sevenzip_engine PUBLIC sevenzip_aes oleaut32 uuid user32)
# -Os: the engine's size counts against the part of the stub in which the
# archive must begin. No -ffunction-sections: together with -O2 it makes
# GCC 12 fail on the engine's stdcall methods (section type conflict), and
# with whole-archive linking --gc-sections gains next to nothing. The
# engine's own warnings stay its own.
target_compile_options(sevenzip_engine PRIVATE -Os -w)
# The decoders' inner loops, the branch filters, the CRC and the decoders'
# byte reader run for every byte extracted: these few files are compiled for
# speed (28 KB more stub, and 16 KB for the BZip2 and Deflate decoders,
# whose loops share their files with the rest of them); the rest of the
# engine stays small.
set_source_files_properties(
  ${_sz}/C/Bcj2.c ${_sz}/C/Bra.c ${_sz}/C/Bra86.c ${_sz}/C/Delta.c
  ${_sz}/C/LzmaDec.c ${_sz}/C/Lzma2Dec.c ${_sz}/C/Ppmd7.c ${_sz}/C/Ppmd7Dec.c
  ${_sz}/C/7zCrc.c ${_sz}/C/7zCrcOpt.c
  ${_sz}/CPP/7zip/Common/CWrappers.cpp ${_sz}/CPP/7zip/Compress/PpmdDecoder.cpp
  ${_sz}/CPP/7zip/Compress/Bcj2Coder.cpp ${_sz}/CPP/7zip/Compress/CopyCoder.cpp
  ${_sz}/CPP/7zip/Compress/BZip2Decoder.cpp ${_sz}/CPP/7zip/Compress/DeflateDecoder.cpp
  PROPERTIES COMPILE_OPTIONS -O2)
set_target_properties(sevenzip_engine PROPERTIES C_STANDARD 99)

# Links the engine into a target. Formats and codecs register through
# static constructors that nothing references, so the whole library goes
# in. Use this instead of linking sevenzip_engine directly: CMake refuses
# the same library with and without the whole-archive feature in one link.
function(setupsfx_link_engine target)
  target_link_libraries(${target} PRIVATE
    "$<LINK_LIBRARY:WHOLE_ARCHIVE,sevenzip_engine>")
endfunction()
