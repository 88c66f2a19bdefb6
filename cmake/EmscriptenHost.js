// Run before every program built with Emscripten (cmake/toolchains/wasm32-emscripten.cmake).
// Under Node.js the program reads its .wasm from the file system (the loader would hand the
// path to Node's fetch, which takes only URLs) and sees the process's environment; in a page
// the query string's parameters are its environment (quadrun.html?QUIL_NUM_THREADS=1).
var quilHostIsNode = typeof process == 'object' && typeof process.versions == 'object' &&
                     typeof process.versions.node == 'string';
if (quilHostIsNode) var fetch = undefined;
Module['preRun'] = [].concat(Module['preRun'] || [], function () {
  var given = {};
  if (quilHostIsNode) {
    given = process.env;
  } else if (typeof location == 'object') {
    new URLSearchParams(location.search).forEach(function (value, name) { given[name] = value; });
  }
  if (typeof ENV == 'object') for (var name in given) ENV[name] = given[name];
});
