// Map editor extension: the export format "brisel42_x9 map (*.txt)" runs the installed
// brisel42_x9 converter, so File > Export (and "repeat last export on save") writes the
// .txt and .pyxm pair of the map.
//
// Enable it: copy this file into the editor's extensions folder
// (~/.config/tiled/extensions/), or run `brisel42_x9 --install-editor-extension`.
// Headless: tiled --export-map brisel42_x9 level.tmx out/level.txt
//
// A map saved with no changes since is converted from its own file, so the outputs are
// the command line's; otherwise (or when the editor gives the map no file name) the
// editor's own TMX writer saves it to a private temporary file that is converted instead.
var CONVERTER = 'brisel42_x9';

function savedFileOf(map) {
    var name = map.fileName;
    if (!name || map.modified || !File.exists(name)) return '';
    return /\.(tmx|tmj|json)$/i.test(name) ? name : '';
}

// Runs a program; the exit status with what it printed, or the reason it did not run.
function run(program, args) {
    var process = new Process();
    try {
        var status = process.exec(program, args, false);
        return {status: status, out: process.readStdOut(), err: process.readStdErr()};
    } catch (failure) {
        return {status: -1, out: '', err: 'cannot run ' + program + ': ' + failure};
    }
}

function convert(map, fileName) {
    var source = savedFileOf(map);
    var folder = '';
    if (source === '') {
        var made = run('mktemp', ['-d', '-t', CONVERTER + '-editor.XXXXXXXX']);
        if (made.status !== 0) return 'cannot create a temporary folder: ' + made.err.trim();
        folder = made.out.trim();
        source = folder + '/map.tmx';
        var failure = tiled.mapFormat('tmx').write(map, source);
        if (failure) {
            run('rm', ['-rf', folder]);
            return 'cannot save the map for the converter: ' + failure;
        }
    }
    var result = run(CONVERTER, ['--to', fileName, '--', source]);
    if (folder !== '') run('rm', ['-rf', folder]);
    var text = result.err.trim();
    // Refusals and warnings name the temporary copy; the designer knows the map by its own name.
    if (folder !== '') text = text.split(source).join(map.fileName || 'the map');
    if (result.status === 0) {
        // The warnings: what the outputs do not carry.
        if (text !== '') {
            tiled.warn(text, null);
            print(text);  // standard error, for the editor run headless
        }
        return undefined;
    }
    if (result.status === -1 && text === '') text = 'cannot run ' + CONVERTER + ' (is it installed?)';
    if (text === '') text = CONVERTER + ' ended with status ' + result.status;
    print(text);
    return text;
}

tiled.registerMapFormat(CONVERTER, {
    name: 'brisel42_x9 map (*.txt)',
    extension: 'txt',
    write: convert,
});
