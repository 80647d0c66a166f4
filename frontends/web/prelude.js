// Runs before the program's own script: Emscripten's Module for this page. Nothing is fetched and nothing is
// written out; what the runtime prints goes to the browser's console only.
var Module = Object.assign(typeof Module !== 'undefined' ? Module : {}, {
    print: function(text) { console.log(text); },
    printErr: function(text) { console.error(text); },
    // The WebAssembly is inside the script as a data: URI. Emscripten would first try to fetch() that URI, which
    // the page's content-security policy refuses (it allows no connection at all); it is decoded here instead.
    instantiateWasm: function(imports, receiveInstance) {
        WebAssembly.instantiate(getBinary(wasmBinaryFile), imports).then(function(result) {
            receiveInstance(result.instance, result.module);
        }, function(reason) {
            abort(reason);
        });
        return {};
    },
    // A fault of the WebAssembly itself: the program cannot go on, so the page ends as it does after EndProgram.
    onAbort: function() {
        if (typeof Page !== 'undefined' && !Page.ended) Page.end();
    },
});
