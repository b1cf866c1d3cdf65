/* The plug-in's calling interface: the functions a host resolves by their
 * undecorated names after loading libzorvel.so, and the IProcessor interface
 * that GetPlugin returns.
 *
 * A host calls CS_Prepare once with the data location (a directory path
 * ending in a separator), then CS_Process once per request, from one thread
 * at a time. Every buffer belongs to the host; results count characters as
 * described for CS_Process. */
#ifndef ZORVEL_PLUGIN_H_
#define ZORVEL_PLUGIN_H_

#include <stdint.h>

#define ZORVEL_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
/* The plug-in object. Its virtual operations are, in this order: the
 * destructor, Process, GetSchema, Prepare. */
class ZORVEL_EXPORT IProcessor {
 public:
  IProcessor();
  IProcessor(const IProcessor& other);
  IProcessor& operator=(const IProcessor& other);
  virtual ~IProcessor();

  virtual uint32_t Process(int32_t reserved, const char* request, char* buffer,
                           uint32_t size) = 0;
  virtual uint32_t GetSchema(char* buffer, uint32_t size) = 0;
  virtual bool Prepare(const char* location) = 0;
};
#endif

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
typedef struct IProcessor IProcessor;
#endif

/* Filled by Info: 1, 2, "Zorvel", "Processor", "JSON", "Quorvane 2019-20".
 * The strings are static and never freed by the caller. */
typedef struct PluginInfo {
  int32_t major_version;
  int32_t minor_version;
  const char* name;
  const char* kind;
  const char* protocol_format;
  const char* description;
} PluginInfo;

/* Constants; these never create the processor. */
ZORVEL_EXPORT int32_t GetVersion(void);           /* 11 */
ZORVEL_EXPORT void Info(PluginInfo* info);
ZORVEL_EXPORT const char* CS_PluginName(void);    /* "Zorvel" */
ZORVEL_EXPORT int32_t CS_VersionMjr(void);        /* 1 */
ZORVEL_EXPORT int32_t CS_VersionMnr(void);        /* 2 */
ZORVEL_EXPORT const char* CS_ProtocolFormat(void);/* "JSON" */
ZORVEL_EXPORT const char* CS_Description(void);   /* "Quorvane 2019-20" */

/* The single processor, created on first use. */
ZORVEL_EXPORT IProcessor* GetPlugin(void);

/* Writes the schema document into buffer. Returns the full length plus one
 * when it fits (NUL-terminated), else the full length with the buffer holding
 * size - 1 characters and a NUL. Returns 0 for a null buffer or size 0. */
ZORVEL_EXPORT uint32_t CS_GetSchema(char* buffer, uint32_t size);

/* Loads the six tables from location followed directly by each file name and
 * sets up the modes. True when everything loaded and every mode is ready. */
ZORVEL_EXPORT bool CS_Prepare(const char* location);

/* Groups one JSON request into buffer, counted as for CS_GetSchema. Returns 0
 * and writes nothing when buffer is null or size is below 256. */
ZORVEL_EXPORT uint32_t CS_Process(int32_t reserved, const char* request,
                                  char* buffer, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif /* ZORVEL_PLUGIN_H_ */
