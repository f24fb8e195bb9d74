# fish completion for vlt. The Wine prefixes' names come with velto-machine's completion,
# installed beside this file.

source (status dirname)/velto-machine.fish
complete -c vlt -f
complete -c vlt -l machine -x -a '(__fish_complete_directories; __velto_machine_prefixes)' -d 'the machine folder or Wine prefix'
complete -c vlt -l user -x -d 'the user of a Windows installation with several'
complete -c vlt -l desktop -d 'started from the menu: without a machine, choose one in a window'
complete -c vlt -l help -d 'show the help'
complete -c vlt -l version -d 'show the version'
complete -c vlt -o S -d 'unattended run: scan, repair, report, restart'
complete -c vlt -o s -d 'unattended run, as -S'
complete -c vlt -o TRACE -d 'trace into VLT.trc'
