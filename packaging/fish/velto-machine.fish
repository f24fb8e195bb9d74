# fish completion for velto-machine. The commands and their summaries come from
# `velto-machine --help` itself, so they are always the installed program's.

# "  NAME USAGE" then "      SUMMARY" for each command, as NAME<tab>SUMMARY.
function __velto_machine_commands
    set -l name
    for line in (velto-machine --help 2>/dev/null)
        if set -l found (string match -r '^  ([a-z]+)( |$)' -- $line)
            set name $found[2]
        else if test -n "$name"; and string match -qr '^      ' -- $line
            printf '%s\t%s\n' $name (string trim -- $line)
            set name
        end
    end
    printf 'help\tshows the commands\n'
end

# The Wine prefixes by the names `velto-machine prefixes` shows (steam:220).
function __velto_machine_prefixes
    velto-machine prefixes 2>/dev/null | awk '/^MACHINE /{table=1; next} table && NF == 0 {exit} table {print $1}'
end

# The backups of the machine named after `restore`.
function __velto_machine_backups
    set -l words (commandline -opc)
    test (count $words) -ge 3; or return
    velto-machine backups $words[3] 2>/dev/null | awk -F '  +' '/^BACKUP /{table=1; next} table && NF == 0 {exit} table {print $1}'
end

# Whether the word being completed is the machine: the first after the command.
function __velto_machine_wants_machine
    set -l words (commandline -opc)
    test (count $words) -eq 2
end

function __velto_machine_command_is
    set -l words (commandline -opc)
    test (count $words) -ge 2; and contains -- $words[2] $argv
end

complete -c velto-machine -f
complete -c velto-machine -n __fish_use_subcommand -a '(__velto_machine_commands)'
complete -c velto-machine -n __fish_use_subcommand -l help -s h -d 'show the commands'
complete -c velto-machine -n __fish_use_subcommand -l version -d 'show the version'
complete -c velto-machine -l user -x -d 'the user of a Windows installation with several'
complete -c velto-machine -n 'not __fish_use_subcommand' -l help -s h -d "show the command's usage"

set -l machines 'apply backups boot check info list restore'
complete -c velto-machine -n "__velto_machine_wants_machine; and __velto_machine_command_is $machines" -a '(__fish_complete_directories; __velto_machine_prefixes)'
complete -c velto-machine -n '__velto_machine_wants_machine; and __velto_machine_command_is create' -a '(__fish_complete_directories)'

complete -c velto-machine -n '__velto_machine_command_is check' -l all -d 'every Wine prefix found'
complete -c velto-machine -n '__velto_machine_command_is check backups prefixes' -l json -d 'one JSON document'
complete -c velto-machine -n '__velto_machine_command_is check' -l types -x -a 'acm dll drv exe ocx tlb vbx vxd' -d 'file types to list'
complete -c velto-machine -n '__velto_machine_command_is check' -l exclude -x -a '(__fish_complete_directories)' -d 'leave a folder out'
complete -c velto-machine -n '__velto_machine_command_is check' -l only -x -d 'only this group'
complete -c velto-machine -n '__velto_machine_command_is check' -l plan -r -F -d 'keep what vlt -S would do as a plan'
complete -c velto-machine -n '__velto_machine_command_is check' -s q -l quiet -d 'print nothing but errors'
complete -c velto-machine -n '__velto_machine_command_is check' -s v -l verbose -d 'every property of each copy'
complete -c velto-machine -n '__velto_machine_command_is apply' -l dry-run -d 'say what would be done, write nothing'
complete -c velto-machine -n '__velto_machine_command_is apply; and not __velto_machine_wants_machine' -F
complete -c velto-machine -n '__velto_machine_command_is restore' -l all -d 'the newest backup of every file'
complete -c velto-machine -n '__velto_machine_command_is restore; and not __velto_machine_wants_machine' -a '(__velto_machine_backups)'
complete -c velto-machine -n '__velto_machine_command_is create' -l platform -x -a '9x nt' -d 'the Windows family'
complete -c velto-machine -n '__velto_machine_command_is create' -l demo -d 'fill it with duplicate files to try'
complete -c velto-machine -n '__velto_machine_command_is create' -l wine -d 'a Wine prefix made by wineboot'
complete -c velto-machine -n '__velto_machine_command_is create' -l offline-windows -d 'a Windows installation as on a disk'
complete -c velto-machine -n '__velto_machine_command_is create' -l release -x -a 'xp 10' -d 'the Windows release of the installation'
complete -c velto-machine -n '__velto_machine_command_is list' -l filter -x -d 'patterns'
complete -c velto-machine -n '__velto_machine_command_is list' -l paths -x -d 'folders'
complete -c velto-machine -n '__velto_machine_command_is list' -l exclude -x -d 'folders'
complete -c velto-machine -n '__velto_machine_command_is reg; and __velto_machine_wants_machine' -a 'export import'
complete -c velto-machine -n '__velto_machine_command_is reg' -s o -r -F -d 'output file'
complete -c velto-machine -n '__velto_machine_command_is verinfo' -F
