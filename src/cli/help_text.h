#pragma once

#include <string_view>

namespace velmora {

inline constexpr std::string_view kVelmoraRunHelp = R"(NAME
    velmora-run - run Velmora's configured commands from a terminal

SYNOPSIS
    velmora-run [--ini FILE] [--signer 0|1|2] [--output DEST] [--force] SECTION [SOURCE...]
    velmora-run [--ini FILE] [--signer 0|1|2] [--output DEST] [--force] --build-sign SOURCE...
    velmora-run [--ini FILE] --list
    velmora-run --help

DESCRIPTION
    Runs one command section of Velmora's settings file exactly as the window's
    button for it does: the source is checked, the destination is proposed, the
    source is copied when the section says so, the templates are expanded and
    the tool is started. Its output is written to standard output line by line
    as the tool produces it, between the same start and end banners.

    With several SOURCE arguments the section runs once for each, in order.
    A section that needs no source runs once when none is given.

    The destination is the name Velmora proposes, placed beside the source
    (velmora-run Decompile app.apk decodes into app/ next to app.apk), or DEST.
    A run never goes ahead onto an existing destination unless --force is
    given, and never onto the source itself (the same file, also through a
    link or another spelling of its path).

OPTIONS
    --ini FILE
        Use FILE as the settings file instead of Velmora.ini beside the program.
        %CurrentDir% stays the program's directory.

    --signer 0|1|2
        The signer type for this run: 0 signs with section Signer, 1 with
        section Signer_JDK, 2 with Signer_JDK and its CommandLine_1 (a time
        stamp). Default: SignerType of section General. Never written back.

    -o, --output DEST
        The destination, instead of the proposed one. Only with one source.

    -f, --force
        Go ahead when the destination exists. What happens to it is then the
        tool's business: a section that copies its source (Signer) replaces it,
        Compile's apktool overwrites it, but Decompile's apktool refuses an
        existing folder (exit status 1) rather than delete it; remove the
        folder to decode into it again.

    --build-sign
        Rebuild each SOURCE folder (section Compile, destination NAME_mod_signed.apk)
        and sign the result in place (section Signer), as the rebuild-and-sign
        button does. Signing starts only when the rebuild's tool exited with
        status 0.

    --list
        List the command sections of the settings file with their comments;
        enabled user-defined sections are marked.

    -h, --help
        Show this text.

EXIT STATUS
    0   every run started its tool and every tool exited with status 0
    1   a tool exited with another status, was ended by a signal, or could not
        be started; the destination was the source itself; or standard output
        could not be written
    2   a usage error (an unknown SECTION too), a missing settings file or one
        over 16 MiB, a source that does not exist, a refused destination, a
        failed copy, a value the run uses that is longer than 2047 bytes, or a
        template that cannot be run (cut at 2047 bytes, never done expanding,
        or a path it cannot pass); the message is on standard error
    128+N
        stopped by signal N: SIGINT (130, Ctrl-C), SIGTERM (143), SIGHUP (129),
        or a closed output pipe (141, as for SIGPIPE). The running tool and
        everything it started get SIGTERM, and SIGKILL if they are still there
        3 seconds later; the output ends with a line saying the run was
        stopped and the end banner, and the remaining sources are skipped.
        Killed outright (SIGKILL), velmora-run leaves its tool to a watching
        process, which stops it the same way.

ENVIRONMENT
    VELMORA_STOREPASS, VELMORA_KEYPASS
        Every tool is started with these set to what %storepass% and
        %keypass% expand to. When the settings value is empty, a variable of
        that name in velmora-run's environment is passed on unchanged.

FILES
    Velmora.ini beside the executable: the command sections and their templates.

EXAMPLES
    velmora-run Decompile app.apk other.apk
    velmora-run --signer 1 --output signed.apk Signer app.apk
    velmora-run --build-sign app/
)";

}  // namespace velmora
