# tools/set-input-folder, which tools/run uses, in the tests' prefix: the
# program's file dialog then opens in the stored folder, and a second call
# keeps the folder stored first.
# Usage: input_folder.sh WINE_RUN SET_INPUT_FOLDER DRIVE_KGFTOOL KGFTOOL_EXE
wine_run=$1
set_input_folder=$2
drive=$3
program=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/samples" "$work/other"
"$wine_run" reg delete 'HKCU\Software\KGF Tool' /f >/dev/null 2>&1
"$set_input_folder" "$work/samples" || exit 1
"$set_input_folder" "$work/other" || exit 1
KGF_INPUT_FOLDER="$work/samples" "$wine_run" "$drive" "$program" \
    --gtest_filter=program.opens_in_the_stored_input_folder
