// Requests from a browser: XMLHttpRequest, for its upload progress events.
import { Transport, TransportError } from "./core.js";

export const xhrTransport: Transport = (request) =>
  new Promise((resolve, reject) => {
    const xhr = new XMLHttpRequest();
    if (request.user) xhr.open("POST", request.url, true, request.user, request.password);
    else xhr.open("POST", request.url, true);
    xhr.responseType = "arraybuffer";
    for (const [name, value] of Object.entries(request.headers)) xhr.setRequestHeader(name, value);
    if (request.onProgress) {
      const report = request.onProgress;
      xhr.upload.onprogress = (e) => report(e.loaded, e.lengthComputable ? e.total : request.body.size);
    }
    xhr.onload = () => resolve({ status: xhr.status, body: new Uint8Array(xhr.response as ArrayBuffer) });
    // A browser does not say why a request failed (refused, reset, name unknown, CORS): another try may cure it.
    xhr.onerror = () => reject(new TransportError("E04006", true));
    xhr.onabort = () => reject(new DOMException("cancelled", "AbortError"));
    if (request.signal) {
      if (request.signal.aborted) return xhr.onabort?.(new ProgressEvent("abort"));
      request.signal.addEventListener("abort", () => xhr.abort(), { once: true });
    }
    xhr.send(request.body);
  });
