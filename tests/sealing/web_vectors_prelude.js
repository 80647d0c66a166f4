// After frontends/web/prelude.js: the test page's output goes into the page, where its runner reads it.
Module.print = function(text) { document.getElementById('out').textContent += text + '\n'; };
